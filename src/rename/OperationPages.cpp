#include "app/Main.h"

void TfrmMain::SetupOperationPages() {}
void TfrmMain::cmdRename_0Click(QObject*) {}
void TfrmMain::tmrMakeListsTimer() {}
void TfrmMain::MakePreviewList(int) {}
bool TfrmMain::CheckFileNames(bool) { return false; }
void TfrmMain::tmrCheckFileNamesTimer() {}
void TfrmMain::CheckComboText(QComboBox*) {}
void TfrmMain::cboAddPositionSelect() {}
