#include "ui/MainDialog.h"

void CMainDialog::OnRead() {}
void CMainDialog::OnTimer(UINT_PTR) { Default(); }
void CMainDialog::OnErase() {}
