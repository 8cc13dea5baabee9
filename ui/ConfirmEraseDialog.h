// Asks before the logger is erased; Yes is the default button.
#pragma once

#include "fw/Wnd.h"
#include "ui/resource.h"

class CConfirmEraseDialog : public CDialog {
public:
    CConfirmEraseDialog() : CDialog(IDD_CONFIRM_ERASE) {}
};
