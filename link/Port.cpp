#include "ui/MainDialog.h"

void CMainDialog::ConfigurePort() {}
void CMainDialog::SendCommand(CString) {}
