#include "ui/MainDialog.h"

void CMainDialog::OnErase() {}
