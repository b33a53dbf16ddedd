// Folder tree, path box and the "..." button.
#include "app/Main.h"
#include "app/WidgetBridge.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <functional>
#include <optional>

#include "app/Dialogs.h"
#include "app/ListColumns.h"
#include "browser/TreeFolderData.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

namespace {



// Holds off the tree's painting for one operation; nested holds count, and
// the tree repaints once the outermost ends.
class BulkUpdate {
 public:
  explicit BulkUpdate(QWidget* widget) : widget_(widget), wasEnabled_(widget->updatesEnabled()) {
    widget_->setUpdatesEnabled(false);
  }
  ~BulkUpdate() { widget_->setUpdatesEnabled(wasEnabled_); }
  BulkUpdate(const BulkUpdate&) = delete;
  BulkUpdate& operator=(const BulkUpdate&) = delete;

 private:
  QWidget* widget_;
  bool wasEnabled_;
};

// Keeps TreeRebuilding set while the tree is rebuilt, also when that throws.
class RebuildingFlag {
 public:
  explicit RebuildingFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RebuildingFlag() { flag_ = false; }
  RebuildingFlag(const RebuildingFlag&) = delete;
  RebuildingFlag& operator=(const RebuildingFlag&) = delete;

 private:
  bool& flag_;
};

bool IsLineBreakKey(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->text() == QLatin1String("\r") ||
         key->text() == QLatin1String("\n");
}

}  // namespace

void TfrmMain::SetupFolderTree() {
  imglstTreeView[0] = style()->standardIcon(QStyle::SP_DirClosedIcon);
  imglstTreeView[1] = style()->standardIcon(QStyle::SP_DirOpenIcon);

  trvwLocal->setColumnCount(1);
  trvwLocal->setHeaderHidden(true);
  trvwLocal->setEditTriggers(QAbstractItemView::NoEditTriggers);
  trvwLocal->setSelectionMode(QAbstractItemView::SingleSelection);
  trvwLocal->setUniformRowHeights(true);
  // Siblings are sorted once when a node is filled; the widget's own sorting
  // would re-sort the whole tree after every change of any node.
  trvwLocal->setSortingEnabled(false);
  new ColumnAutoSizer(trvwLocal, {});

  connect(trvwLocal, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* current, QTreeWidgetItem*) { trvwLocalChange(current); });
  connect(trvwLocal, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) { trvwLocalExpanded(node); });
  connect(trvwLocal, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* node) { trvwLocalCollapsed(node); });

  connect(cmdUp, &QPushButton::clicked, this, [this] { cmdUpClick(); });
  connect(cboPath, &QComboBox::activated, this, [this](int) { cboPathClick(); });
  // Inline completion would silently turn a typed path into a longer
  // history entry, which names another folder.
  cboPath->setCompleter(nullptr);

  // Enter or line feed in the path box goes to the typed path. The combo box
  // passes its keys on to its line edit by a direct call, so each key press
  // reaches exactly one of the two hooks.
  auto pathKey = [this](QEvent* event) {
    if (event->type() != QEvent::KeyPress || !IsLineBreakKey(static_cast<QKeyEvent*>(event))) return false;
    cmdUpClick();
    return true;
  };
  new EventHook(cboPath, pathKey);
  if (cboPath->lineEdit()) new EventHook(cboPath->lineEdit(), pathKey);
}

void TfrmMain::FillFolderTree() {
  BulkUpdate bulk(trvwLocal);
  trvwLocal->clear();

  auto data = std::make_unique<TTreeFolderData>(RootFolder);
  data->Loaded = true;
  auto* top = new TFolderNode(std::move(data));
  top->setText(0, FromBytes(RootFolder));
  top->setIcon(0, imglstTreeView[0]);
  top->setData(0, TFolderNode::kImageRole, 0);
  trvwLocal->addTopLevelItem(top);

  FillFolderNode(RootFolder, top);
  top->setExpanded(true);
}

void TfrmMain::FillFolderNode(const std::string& folderPath, QTreeWidgetItem* node) {
  ShowStatus(QStringLiteral("Loading folder..."));
  {
    BulkUpdate bulk(trvwLocal);
    qDeleteAll(node->takeChildren());

    std::vector<FileSystem::Entry> entries;
    if (FileSystem::ReadFolderKinds(folderPath, entries)) {
      std::erase_if(entries, [](const FileSystem::Entry& entry) { return !entry.isFolder; });
      // Siblings in ascending order (byte order of UTF-8 is code point
      // order), sorted here once rather than item by item in the widget.
      std::sort(entries.begin(), entries.end(),
                [](const FileSystem::Entry& a, const FileSystem::Entry& b) { return a.name < b.name; });
      QList<QTreeWidgetItem*> children;
      children.reserve(qsizetype(entries.size()));
      for (const FileSystem::Entry& entry : entries) {
        auto data = std::make_unique<TTreeFolderData>(Paths::Join(folderPath, entry.name));
        const bool hasSubfolders = FileSystem::FolderHasSubfolders(data->Path);
        data->HasSubfolders = hasSubfolders;
        auto* child = new TFolderNode(std::move(data));
        child->setText(0, FromBytes(entry.name));
        child->setIcon(0, imglstTreeView[0]);
        child->setData(0, TFolderNode::kImageRole, 0);
        if (hasSubfolders) {
          auto* placeholder = new TFolderNode;
          placeholder->setIcon(0, imglstTreeView[0]);
          placeholder->setData(0, TFolderNode::kImageRole, 0);
          child->addChild(placeholder);
        }
        children.append(child);
      }
      node->addChildren(children);
    }
  }
  ShowStatus(QStringLiteral("Ready."));
}

void TfrmMain::trvwLocalChange(QTreeWidgetItem* node) {
  if (TreeRebuilding) return;
  if (TTreeFolderData* data = FolderData(node)) ListFiles(data->Path);
}

void TfrmMain::trvwLocalExpanded(QTreeWidgetItem* node) {
  if (TTreeFolderData* data = FolderData(node); data && !data->Loaded) {
    data->Loaded = true;
    const std::string path = data->Path;
    FillFolderNode(path, node);
  }
  node->setIcon(0, imglstTreeView[1]);
  node->setData(0, TFolderNode::kImageRole, 1);
}

void TfrmMain::trvwLocalCollapsed(QTreeWidgetItem* node) {
  node->setIcon(0, imglstTreeView[0]);
  node->setData(0, TFolderNode::kImageRole, 0);
}

std::string TfrmMain::PathBoxText() const {
  const QString text = cboPath->currentText();
  if (text == FromBytes(CurrentFolder)) return CurrentFolder;
  for (int i = 0; i < cboPath->count(); ++i) {
    if (cboPath->itemText(i) != text) continue;
    const QVariant bytes = cboPath->itemData(i);
    if (bytes.isValid()) return bytes.toByteArray().toStdString();
    break;
  }
  return ToBytes(text);
}

void TfrmMain::AddHistoryEntry(const std::string& folderPath) {
  const std::string entry = Paths::HistoryEntry(folderPath);
  std::vector<std::string> history;
  history.reserve(std::size_t(cboPath->count()));
  for (int i = 0; i < cboPath->count(); ++i) {
    const QVariant bytes = cboPath->itemData(i);
    history.push_back(bytes.isValid() ? bytes.toByteArray().toStdString() : ToBytes(cboPath->itemText(i)));
  }
  if (Paths::HistoryHasEntry(history, entry)) return;
  const QString text = cboPath->currentText();
  cboPath->addItem(FromBytes(entry), QByteArray(entry.data(), qsizetype(entry.size())));
  if (cboPath->currentText() != text) cboPath->setCurrentText(text);
}

void TfrmMain::cmdUpClick() {
  const std::optional<std::string> target =
      Paths::UpTarget(PathBoxText(), CurrentFolder, [](const std::string& path) {
        return FileSystem::IsExistingFolder(path);
      });
  if (!target) {
    ShowMessage(this, {QStringLiteral("Error"), QStringLiteral("The specified path does not exist!"),
                       DialogIcon::Error, DialogButtons::Ok});
    cboPath->setCurrentText(FromBytes(CurrentFolder));
    return;
  }
  const std::string folder = *target;
  AddHistoryEntry(folder);
  cboPath->setCurrentText(FromBytes(folder));
  CurrentFolder = folder;
  RootFolder = folder;
  {
    RebuildingFlag rebuilding(TreeRebuilding);
    FillFolderTree();
  }
  mnuRefreshClick();
  cboPath->setCurrentText(FromBytes(folder));
  CurrentFolder = folder;
}

void TfrmMain::cboPathClick() { cmdUpClick(); }
