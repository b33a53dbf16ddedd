#include "app/Main.h"

void TfrmMain::SetupFileView() {}
void TfrmMain::ListFiles(const std::string& folderPath) { CurrentFolder = folderPath; }
void TfrmMain::mnuRefreshClick() {}
void TfrmMain::tmrRefreshTimer() {}
void TfrmMain::txtPatternChange() {}
bool TfrmMain::lstvwLocalEdited(int, const std::string&) { return false; }
void TfrmMain::mnuDeleteFileClick() {}
void TfrmMain::lstvwLocalDblClick() {}
int TfrmMain::FileViewRowCount() const { return 0; }
const std::string& TfrmMain::FileViewName(int) const { static const std::string none; return none; }
std::vector<int> TfrmMain::FileViewSelectedRows() const { return {}; }
