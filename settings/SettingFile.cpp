#include "ui/MainDialog.h"

void CMainDialog::LoadPortSetting() {}
void CMainDialog::SerializePort(CArchive&) {}
void CMainDialog::OnSetup() {}
