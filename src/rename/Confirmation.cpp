#include "app/Main.h"

void TfrmMain::SetupPreviewList() {}
void TfrmMain::cmdYesClick() {}
void TfrmMain::tmrDoRenameTimer() {}
void TfrmMain::PerformRename() {}
void TfrmMain::cmdNoClick() {}
void TfrmMain::lviRenameDblClick() {}
void TfrmMain::lviRenameEdited(int) {}
void TfrmMain::mnuRemoveFromListClick() {}
