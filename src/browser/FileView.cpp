#include "app/Main.h"

void TfrmMain::SetupFileView() {}
void TfrmMain::ListFiles(const std::string& folderPath) { CurrentFolder = folderPath; }
void TfrmMain::mnuRefreshClick() {}
void TfrmMain::tmrRefreshTimer() {}
void TfrmMain::txtPatternChange() {}
bool TfrmMain::lstvwLocalEdited(int, const std::string&) { return false; }
void TfrmMain::mnuDeleteFileClick() {}
void TfrmMain::lstvwLocalDblClick() {}
