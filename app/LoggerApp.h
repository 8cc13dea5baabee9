#pragma once

#include "fw/App.h"

class CLoggerApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
