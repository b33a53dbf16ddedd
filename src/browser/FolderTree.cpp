#include "browser/FolderTree.h"

#include <QComboBox>
#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include <functional>
#include <optional>

#include "app/WindowServices.h"
#include "browser/DirListing.h"
#include "browser/FileView.h"
#include "browser/TreeFolderData.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "widgets/Dialogs.h"
#include "widgets/ListColumns.h"
#include "widgets/SearchLock.h"
#include "widgets/WidgetBridge.h"
#include "widgets/WidgetFactory.h"

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

FolderTree::FolderTree(QWidget* area, WindowServices& services, QObject* parent)
    : QObject(parent), services_(services) {
  trvwLocal = Make<QTreeWidget>(area, "trvwLocal", 8, 32, 185, 377);
  trvwLocal->setAccessibleName(QStringLiteral("Folders"));

  cmdUp = Make<QPushButton>(area, "cmdUp", 8, 8, 25, 25);
  cmdUp->setText(QStringLiteral("..."));
  cmdUp->setAccessibleName(QStringLiteral("Go to the typed path"));
  cmdUp->setToolTip(QStringLiteral("Go to the typed path, or one folder up"));

  cboPath = Make<QComboBox>(area, "cboPath", 32, 8, 161, kEditHeight);
  cboPath->setEditable(true);
  cboPath->setInsertPolicy(QComboBox::NoInsert);
  cboPath->setCurrentText(QStringLiteral("/"));
  cboPath->setAccessibleName(QStringLiteral("Path"));

  imglstTreeView[0] = area->style()->standardIcon(QStyle::SP_DirClosedIcon);
  imglstTreeView[1] = area->style()->standardIcon(QStyle::SP_DirOpenIcon);

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

void FolderTree::FillFolderTree() {
  BulkUpdate bulk(trvwLocal);
  trvwLocal->clear();

  auto data = std::make_unique<TTreeFolderData>(rootFolder_);
  data->Loaded = true;
  auto* top = new TFolderNode(std::move(data));
  top->setText(0, FromBytes(rootFolder_));
  top->setIcon(0, imglstTreeView[0]);
  top->setData(0, TFolderNode::kImageRole, 0);
  trvwLocal->addTopLevelItem(top);

  FillFolderNode(rootFolder_, top);
  top->setExpanded(true);
}

void FolderTree::FillFolderNode(const std::string& folderPath, QTreeWidgetItem* node) {
  services_.ShowStatus(QStringLiteral("Loading folder..."));
  {
    BulkUpdate bulk(trvwLocal);
    qDeleteAll(node->takeChildren());

    const std::vector<DirListing::Subfolder> subfolders = DirListing::ListSubfolders(folderPath);
    QList<QTreeWidgetItem*> children;
    children.reserve(qsizetype(subfolders.size()));
    for (const DirListing::Subfolder& subfolder : subfolders) {
      auto data = std::make_unique<TTreeFolderData>(subfolder.path);
      data->HasSubfolders = subfolder.hasSubfolders;
      auto* child = new TFolderNode(std::move(data));
      child->setText(0, FromBytes(subfolder.name));
      child->setIcon(0, imglstTreeView[0]);
      child->setData(0, TFolderNode::kImageRole, 0);
      if (subfolder.hasSubfolders) {
        auto* placeholder = new TFolderNode;
        placeholder->setIcon(0, imglstTreeView[0]);
        placeholder->setData(0, TFolderNode::kImageRole, 0);
        child->addChild(placeholder);
      }
      children.append(child);
    }
    node->addChildren(children);
  }
  services_.ShowStatus(QStringLiteral("Ready."));
  if (node->childCount() == 0) {
    const std::string unreadable = DirListing::UnreadableFolderText(folderPath);
    if (!unreadable.empty()) MarkNodeUnreadable(node, FromBytes(unreadable));
  }
}

void FolderTree::MarkUnreadable(const std::string& folder, const QString& text) {
  const std::string wanted = Paths::WithoutTrailingDelimiter(folder);
  for (QTreeWidgetItemIterator it(trvwLocal); *it; ++it) {
    const TTreeFolderData* data = FolderData(*it);
    if (data && Paths::WithoutTrailingDelimiter(data->Path) == wanted) MarkNodeUnreadable(*it, text);
  }
}

void FolderTree::MarkNodeUnreadable(QTreeWidgetItem* node, const QString& text) {
  node->setToolTip(0, text);
  node->setForeground(0, trvwLocal->palette().brush(QPalette::Disabled, QPalette::Text));
}

void FolderTree::trvwLocalChange(QTreeWidgetItem* node) {
  if (treeRebuilding_) return;
  if (TTreeFolderData* data = FolderData(node)) emit FolderChosen(data->Path);
}

void FolderTree::trvwLocalExpanded(QTreeWidgetItem* node) {
  if (TTreeFolderData* data = FolderData(node); data && !data->Loaded) {
    data->Loaded = true;
    const std::string path = data->Path;
    FillFolderNode(path, node);
  }
  node->setIcon(0, imglstTreeView[1]);
  node->setData(0, TFolderNode::kImageRole, 1);
}

void FolderTree::trvwLocalCollapsed(QTreeWidgetItem* node) {
  node->setIcon(0, imglstTreeView[0]);
  node->setData(0, TFolderNode::kImageRole, 0);
}

std::string FolderTree::PathBoxText() const {
  const QString text = cboPath->currentText();
  const std::string& current = files_->CurrentFolder();
  if (text == FromBytes(current)) return current;
  for (int i = 0; i < cboPath->count(); ++i) {
    if (cboPath->itemText(i) != text) continue;
    const QVariant bytes = cboPath->itemData(i);
    if (bytes.isValid()) return bytes.toByteArray().toStdString();
    break;
  }
  return ToBytes(text);
}

void FolderTree::AddHistoryEntry(const std::string& folderPath) {
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

void FolderTree::cmdUpClick() {
  const std::optional<std::string> target =
      Paths::UpTarget(Paths::MakeAbsolute(PathBoxText(), FileSystem::WorkingFolder()), files_->CurrentFolder(),
                      [](const std::string& path) {
        return FileSystem::IsExistingFolder(path);
      });
  if (!target) {
    ShowErrorMessage(services_.DialogParent(), QStringLiteral("The specified path does not exist!"));
    cboPath->setCurrentText(FromBytes(files_->CurrentFolder()));
    return;
  }
  const std::string folder = *target;
  AddHistoryEntry(folder);
  cboPath->setCurrentText(FromBytes(folder));
  files_->SetCurrentFolder(folder);
  rootFolder_ = folder;
  {
    RebuildingFlag rebuilding(treeRebuilding_);
    FillFolderTree();
  }
  files_->mnuRefreshClick();
  cboPath->setCurrentText(FromBytes(folder));
  files_->SetCurrentFolder(folder);
}

void FolderTree::cboPathClick() { cmdUpClick(); }

void FolderTree::ResetHistory(const std::string& defaultRoot) {
  cboPath->clear();
  for (const std::string& entry : Paths::InitialHistory()) cboPath->addItem(FromBytes(entry));
  cboPath->setCurrentText(kThisBuild == Build::Windows ? FromBytes(defaultRoot) : QStringLiteral("/"));
}

void FolderTree::ShowTree(const std::string& root) {
  rootFolder_ = root;
  cboPath->setCurrentText(FromBytes(root));
  FillFolderTree();
}

void FolderTree::ShowListedFolder(const std::string& folder) {
  cboPath->setCurrentText(FromBytes(folder));
  AddHistoryEntry(folder);
}

void FolderTree::LayOut(int width, int height) {
  trvwLocal->resize(width, height);
  cboPath->resize(trvwLocal->width() - cmdUp->width(), cboPath->height());
}

QRect FolderTree::TreeGeometry() const { return trvwLocal->geometry(); }

int FolderTree::PathBoxTop() const { return cboPath->y(); }

void FolderTree::SetShown(bool shown) {
  cmdUp->setVisible(shown);
  trvwLocal->setVisible(shown);
  cboPath->setVisible(shown);
}

void FolderTree::SetSearchLocked(bool lock) {
  for (QWidget* widget : {static_cast<QWidget*>(cmdUp), static_cast<QWidget*>(cboPath),
                          static_cast<QWidget*>(trvwLocal)})
    HoldForSearch(widget, lock);
}

std::vector<QWidget*> FolderTree::TabStops() const { return {cboPath, cmdUp, trvwLocal}; }
