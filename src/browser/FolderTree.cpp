#include "app/Main.h"

void TfrmMain::SetupFolderTree() {}
void TfrmMain::FillFolderTree() {}
void TfrmMain::FillFolderNode(const std::string&, QTreeWidgetItem*) {}
void TfrmMain::trvwLocalChange(QTreeWidgetItem*) {}
void TfrmMain::trvwLocalExpanded(QTreeWidgetItem*) {}
void TfrmMain::trvwLocalCollapsed(QTreeWidgetItem*) {}
void TfrmMain::cmdUpClick() {}
void TfrmMain::cboPathClick() {}
void TfrmMain::AddHistoryEntry(const std::string&) {}
