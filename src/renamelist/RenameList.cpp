#include "app/Main.h"

#include <QTreeView>

void TfrmMain::SetupRenameList() {}
int TfrmMain::KeepRenameList() const { return Tag(lviFiles); }
void TfrmMain::SetKeepRenameList(int value) { SetTag(lviFiles, value); }
bool TfrmMain::IsInRenameList(const std::string&, const std::string&) const { return false; }
void TfrmMain::AddToRenameList(const std::string&, const std::string&) {}
void TfrmMain::RemoveFirstSelectedItem(QTreeView*) {}
void TfrmMain::mnuSelectedFilesClick() {}
void TfrmMain::mnuAllFilesClick() {}
void TfrmMain::mnuFolderNameClick() {}
void TfrmMain::mnuAllFilesRecursiveClick() {}
void TfrmMain::tmrRecursiveTimer() {}
void TfrmMain::mnuClearSelectedClick() {}
void TfrmMain::mnuClearClick() {}
void TfrmMain::mnuAddClick() {}
const std::vector<RenameListEntry>& TfrmMain::RenameListEntries() const { static const std::vector<RenameListEntry> none; return none; }
void TfrmMain::ClearRenameList() {}
