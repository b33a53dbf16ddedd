#include "app/Main.h"
#include "app/WidgetBridge.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QVariant>

#include "app/Dialogs.h"
#include "app/IniFile.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"

TfrmMain* frmMain = nullptr;

namespace {

const char* const kTagProperty = "tag";
const char* const kOptions = "Options";

// Line edits and combo boxes are a little taller in the Linux build.
constexpr int kEditHeight = kThisBuild == Build::Linux ? 23 : 21;
constexpr int kPageWidth = 241;
constexpr int kPageHeight = 177;

template <typename Widget>
Widget* Make(QWidget* parent, const char* name, int left, int top, int width, int height) {
  auto* widget = new Widget(parent);
  widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* MakeLabel(QWidget* page, const char* name, const QString& caption, int left, int top,
                  int width, int height) {
  auto* label = Make<QLabel>(page, name, left, top, width, height);
  label->setText(caption);
  return label;
}

QLineEdit* MakeEdit(QWidget* page, const char* name, const QString& text, int left, int top,
                    int width, QLabel* label = nullptr) {
  auto* edit = Make<QLineEdit>(page, name, left, top, width, kEditHeight);
  edit->setText(text);
  if (label) label->setBuddy(edit);
  return edit;
}

QComboBox* MakeCombo(QWidget* page, const char* name, const QStringList& items, const QString& text,
                     int left, int top, int width, const QString& accessibleName) {
  auto* combo = Make<QComboBox>(page, name, left, top, width, kEditHeight);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->addItems(items);
  combo->setCurrentText(text);
  combo->setAccessibleName(accessibleName);
  return combo;
}

QGroupBox* MakePane(QWidget* parent, const char* name, const QString& caption, int left) {
  auto* pane = Make<QGroupBox>(parent, name, left, 0, kPageWidth, kPageHeight);
  pane->setTitle(caption);
  return pane;
}

QAction* MakeItem(QMenu* menu, const char* name, const QString& caption,
                  const QKeySequence& shortcut = {}) {
  QAction* item = menu->addAction(caption);
  item->setObjectName(QString::fromLatin1(name));
  if (!shortcut.isEmpty()) item->setShortcut(shortcut);
  return item;
}

QAction* MakeCheckItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* item = MakeItem(menu, name, caption);
  item->setCheckable(true);
  return item;
}

QMenu* MakeMenu(QMenuBar* bar, const char* name, const QString& caption) {
  QMenu* menu = bar->addMenu(caption);
  menu->setObjectName(QString::fromLatin1(name));
  return menu;
}

// The pages keep their fixed design geometry; where the desktop's font is
// wider than the design's, a caption is set a little smaller rather than cut.
void FitCaptionsToWidth(QWidget* page) {
  for (QWidget* child : page->findChildren<QWidget*>()) {
    QString text;
    int room = child->width();
    if (auto* label = qobject_cast<QLabel*>(child)) {
      if (label->wordWrap()) continue;
      text = label->text();
    } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
      if (qobject_cast<QPushButton*>(button)) continue;
      text = button->text();
      room -= 24;  // the check or radio indicator
    } else if (auto* combo = qobject_cast<QComboBox*>(child)) {
      // The longest choice, in the edit field beside the drop-down arrow
      // (less the line edit's own margins).
      const QFontMetrics metrics(combo->font());
      for (int i = 0; i < combo->count(); ++i)
        if (metrics.horizontalAdvance(combo->itemText(i)) > metrics.horizontalAdvance(text)) text = combo->itemText(i);
      QStyleOptionComboBox option;
      option.initFrom(combo);
      option.editable = combo->isEditable();
      room = combo->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, combo).width() - 6;
    } else {
      continue;
    }
    text.remove(QLatin1Char('&'));
    QFont font = child->font();
    while (QFontMetrics(font).horizontalAdvance(text) > room && font.pointSizeF() > 6.5)
      font.setPointSizeF(font.pointSizeF() - 0.5);
    if (font != child->font()) child->setFont(font);
  }
}


}  // namespace

TfrmMain::TfrmMain(const AppEnvironment& environment, QWidget* parent)
    : QMainWindow(parent), environment_(environment) {
  frmMain = this;
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Quillon! v7.2"));
  // The images live in the static library, whose resources are linked in
  // only when asked for. The icon is drawn at each size rather than read
  // from the SVG, which Qt reads only with an image plug-in that is often
  // not installed.
  Q_INIT_RESOURCE(quillon);
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/quillon-%1.png").arg(size), QSize(size, size));
  setWindowIcon(icon);
  // The layout arithmetic leaves the panes no room below this size.
  setMinimumSize(520, 360);
  QApplication::setWindowIcon(windowIcon());
  resize(681, 481);

  CreateWidgets();
  CreateMenus();
  CreatePopupMenus();
  CreateTimers();

  SetupFolderTree();
  SetupFileView();
  SetupRenameList();
  SetupOperationPages();
  SetupPreviewList();

  FormCreate();
  FormResize();
  txtPattern->setFocus();
}

TfrmMain::~TfrmMain() {
  if (frmMain == this) frmMain = nullptr;
}

// ---------------------------------------------------------------------------
// Construction

void TfrmMain::CreateWidgets() {
  centralArea = new QWidget(this);
  centralArea->setObjectName(QStringLiteral("centralArea"));
  setCentralWidget(centralArea);
  QWidget* area = centralArea;

  grpRename_0 = MakePane(area, "grpRename_0", QStringLiteral("Replace"), 424);
  grpRename_2 = MakePane(area, "grpRename_2", QStringLiteral("Auto-number"), 424);
  grpRename_3 = MakePane(area, "grpRename_3", QStringLiteral("Change case"), 424);
  grpRename_4 = MakePane(area, "grpRename_4", QStringLiteral("Trim"), 424);
  grpRename_5 = MakePane(area, "grpRename_5", QStringLiteral("Extension"), 424);
  grpRename_6 = MakePane(area, "grpRename_6", QStringLiteral("Advanced add"), 424);
  grpRename_1 = MakePane(area, "grpRename_1", QStringLiteral("Add"), 424);
  grpRename_7 = MakePane(area, "grpRename_7", QStringLiteral("ID3-tag"), 432);
  grpRename_7->hide();
  CreatePages();

  grpConfirmation = MakePane(area, "grpConfirmation", QStringLiteral("Confirm rename"), 424);
  CreateConfirmationPane();
  grpConfirmation->hide();

  grpLoading = MakePane(area, "grpLoading", QStringLiteral("Please wait, working..."), 424);
  grpLoading->setAutoFillBackground(true);  // it lies over the page below it
  CreateBusyPane();
  grpLoading->hide();

  trvwLocal = Make<QTreeWidget>(area, "trvwLocal", 8, 32, 185, 377);
  trvwLocal->setAccessibleName(QStringLiteral("Folders"));

  lstvwLocal = Make<QTreeView>(area, "lstvwLocal", 192, 32, 225, 377);
  lstvwLocal->setAccessibleName(QStringLiteral("Files"));
  lstvwLocal->setRootIsDecorated(false);
  lstvwLocal->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lstvwLocal->setSelectionBehavior(QAbstractItemView::SelectRows);
  lstvwLocal->setUniformRowHeights(true);

  txtPattern = Make<QLineEdit>(area, "txtPattern", 192, 8, 225, kEditHeight);
  txtPattern->setText(QStringLiteral("*"));
  txtPattern->setAccessibleName(QStringLiteral("File pattern"));

  lviRename = Make<QTreeView>(area, "lviRename", 8, 8, 249, 249);
  lviRename->setAccessibleName(QStringLiteral("Preview of the new names"));
  lviRename->setRootIsDecorated(false);
  lviRename->setSelectionMode(QAbstractItemView::SingleSelection);
  lviRename->setSelectionBehavior(QAbstractItemView::SelectRows);
  lviRename->setUniformRowHeights(true);
  lviRename->hide();

  stbStatus = new QStatusBar(this);
  stbStatus->setObjectName(QStringLiteral("stbStatus"));
  stbStatus->setSizeGripEnabled(true);
  statusText_ = new QLabel(QStringLiteral("Ready."), stbStatus);
  statusText_->setObjectName(QStringLiteral("stbStatusText"));
  stbStatus->addWidget(statusText_, 1);
  setStatusBar(stbStatus);

  lviFiles = Make<QTreeView>(area, "lviFiles", 424, 184, 241, 225);
  lviFiles->setAccessibleName(QStringLiteral("Rename list"));
  lviFiles->setRootIsDecorated(false);
  lviFiles->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lviFiles->setSelectionBehavior(QAbstractItemView::SelectRows);
  lviFiles->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lviFiles->setUniformRowHeights(true);
  SetTag(lviFiles, 0);

  cmdUp = Make<QPushButton>(area, "cmdUp", 8, 8, 25, 25);
  cmdUp->setText(QStringLiteral("..."));
  cmdUp->setAccessibleName(QStringLiteral("Go to the typed path"));
  cmdUp->setToolTip(QStringLiteral("Go to the typed path, or one folder up"));

  cboPath = Make<QComboBox>(area, "cboPath", 32, 8, 161, kEditHeight);
  cboPath->setEditable(true);
  cboPath->setInsertPolicy(QComboBox::NoInsert);
  cboPath->setCurrentText(QStringLiteral("/"));
  cboPath->setAccessibleName(QStringLiteral("Path"));

  // Tab order follows the screen from left to right, top to bottom.
  setTabOrder(cboPath, cmdUp);
  setTabOrder(cmdUp, trvwLocal);
  setTabOrder(trvwLocal, txtPattern);
  setTabOrder(txtPattern, lstvwLocal);
  setTabOrder(lstvwLocal, lviRename);
}

void TfrmMain::CreatePages() {
  QGroupBox* pages[8] = {grpRename_0, grpRename_1, grpRename_2, grpRename_3,
                         grpRename_4, grpRename_5, grpRename_6, grpRename_7};

  // Page 0: Replace
  QWidget* page = grpRename_0;
  lblReplace1 = MakeLabel(page, "lblReplace1", QStringLiteral("Replace this string from the filenames:"), 8, 24, 225, 21);
  txtReplaceFrom = MakeEdit(page, "txtReplaceFrom", {}, 8, 48, 225, lblReplace1);
  lblReplace2 = MakeLabel(page, "lblReplace2", QStringLiteral("...with this string (empty = delete string):"), 8, 80, 225, 21);
  txtReplaceTo = MakeEdit(page, "txtReplaceTo", {}, 8, 104, 225, lblReplace2);

  // Page 1: Add
  page = grpRename_1;
  lblAdd1 = MakeLabel(page, "lblAdd1", QStringLiteral("Add this string to the filenames:"), 8, 16, 225, 21);
  txtAddText = MakeEdit(page, "txtAddText", {}, 8, 40, 225, lblAdd1);
  lblAdd2 = MakeLabel(page, "lblAdd2", QStringLiteral("Position:"), 8, 72, 225, 21);
  cboAddPosition = MakeCombo(page, "cboAddPosition",
                             {QStringLiteral("to start"), QStringLiteral("to end"), QStringLiteral("to this position")},
                             QStringLiteral("to start"), 8, 96, 105, QStringLiteral("Position"));
  lblAdd2->setBuddy(cboAddPosition);
  txtAddPosition = MakeEdit(page, "txtAddPosition", QStringLiteral("5"), 128, 96, 105);
  txtAddPosition->setAlignment(Qt::AlignCenter);
  txtAddPosition->setEnabled(false);
  txtAddPosition->setAccessibleName(QStringLiteral("Character position"));

  // Page 2: Auto-number
  page = grpRename_2;
  lblAutonumber1 = MakeLabel(page, "lblAutonumber1", QStringLiteral("Before number text:"), 8, 24, 121, 21);
  txtAutonumberBefore = MakeEdit(page, "txtAutonumberBefore", {}, 136, 24, 97, lblAutonumber1);
  lblAutoNumber2 = MakeLabel(page, "lblAutoNumber2", QStringLiteral("Start from number:"), 8, 56, 121, 21);
  txtAutonumberStart = MakeEdit(page, "txtAutonumberStart", QStringLiteral("0"), 136, 56, 97, lblAutoNumber2);
  lblAutoNumber3 = MakeLabel(page, "lblAutoNumber3", QStringLiteral("After number text:"), 8, 88, 121, 21);
  txtAutonumberAfter = MakeEdit(page, "txtAutonumberAfter", {}, 136, 88, 97, lblAutoNumber3);
  chkAutonumberZero = Make<QCheckBox>(page, "chkAutonumberZero", 8, 112, 225, 25);
  chkAutonumberZero->setText(QStringLiteral("&Add zeros before numbers"));
  chkAutonumberZero->setChecked(true);

  // Page 3: Change case
  page = grpRename_3;
  const struct {
    QRadioButton** button;
    const char* name;
    const char* caption;
  } caseButtons[] = {
      {&optChangeCaseAllUpperCase, "optChangeCaseAllUpperCase", "ALL &UPPERCASE"},
      {&optChangeCaseAllLowercase, "optChangeCaseAllLowercase", "all &lowercase"},
      {&optChangeCaseFirstUpperCase, "optChangeCaseFirstUpperCase", "&First Letter Uppercase"},
      {&optChangeCaseFirstLowerCase, "optChangeCaseFirstLowerCase", "f&IRST lETTER lOWERCASE"},
      {&optChangeCaseOpposite, "optChangeCaseOpposite", "&Opposite case (a -> A, A -> a)"},
  };
  int top = 16;
  for (const auto& entry : caseButtons) {
    *entry.button = Make<QRadioButton>(page, entry.name, 8, top, 225, 25);
    (*entry.button)->setText(QString::fromLatin1(entry.caption));
    top += 24;
  }
  optChangeCaseFirstUpperCase->setChecked(true);

  // Page 4: Trim
  page = grpRename_4;
  txtTrimAmount = MakeEdit(page, "txtTrimAmount", QStringLiteral("3"), 8, 32, 225);
  txtTrimAmount->setAccessibleName(QStringLiteral("Number of characters"));
  cboTrimFrom = MakeCombo(page, "cboTrimFrom", {QStringLiteral("from start"), QStringLiteral("from end")},
                          QStringLiteral("from end"), 8, 72, 225, QStringLiteral("Trim from"));
  cboTrimAmount = MakeCombo(page, "cboTrimAmount",
                            {QStringLiteral("trim the selected amount"), QStringLiteral("make filenames this long")},
                            QStringLiteral("trim the selected amount"), 8, 104, 225, QStringLiteral("Trim mode"));

  // Page 5: Extension
  page = grpRename_5;
  Label1 = MakeLabel(page, "Label1", QStringLiteral("Change extension to:"), 8, 56, 225, 25);
  txtExtension = MakeEdit(page, "txtExtension", {}, 8, 80, 225, Label1);

  // Page 6: Advanced add
  page = grpRename_6;
  lblAdvancedAdd1 = MakeLabel(page, "lblAdvancedAdd1", QStringLiteral("If the ASCII-code of a character is between:"), 8, 16, 225, 25);
  txtAdvancedAddASCII1 = MakeEdit(page, "txtAdvancedAddASCII1", QStringLiteral("65"), 8, 40, 225, lblAdvancedAdd1);
  lblAdvancedAdd2 = MakeLabel(page, "lblAdvancedAdd2", QStringLiteral("...and:"), 8, 64, 225, 25);
  txtAdvancedAddASCII2 = MakeEdit(page, "txtAdvancedAddASCII2", QStringLiteral("91"), 8, 88, 225, lblAdvancedAdd2);
  lblAdvancedAdd3 = MakeLabel(page, "lblAdvancedAdd3", QStringLiteral("...add:"), 8, 112, 57, 25);
  txtAdvancedAddNew = MakeEdit(page, "txtAdvancedAddNew", QStringLiteral("_"), 64, 112, 73, lblAdvancedAdd3);
  cboAdvancedAddPosition = MakeCombo(page, "cboAdvancedAddPosition",
                                     {QStringLiteral("before char"), QStringLiteral("after char")},
                                     QStringLiteral("before char"), 144, 112, 89, QStringLiteral("Where to add"));

  // Page 7: ID3-tag
  page = grpRename_7;
  lblGetFileNames = MakeLabel(page, "lblGetFileNames", QStringLiteral("Make filenames from ID3-tags in format:"), 8, 64, 225, 21);
  const QString id3Hint = QStringLiteral("%artist%, %title%, %album%, %year%, %genre%, %comment%");
  lblGetFileNames->setToolTip(id3Hint);
  txtID3Format = MakeEdit(page, "txtID3Format", QStringLiteral("%artist% - %title%"), 8, 80, 225, lblGetFileNames);
  txtID3Format->setToolTip(id3Hint);

  for (int n = 0; n < 8; ++n) {
    const QByteArray name = "cmdRename_" + QByteArray::number(n);
    cmdRename[n] = Make<QPushButton>(pages[n], name.constData(), 8, 144, 225, 25);
    cmdRename[n]->setText(QStringLiteral("&Quillon!"));
    cmdRename[n]->setDefault(true);
    cmdRename[n]->setAutoDefault(true);
    SetTag(cmdRename[n], n);
    FitCaptionsToWidth(pages[n]);
  }
}

void TfrmMain::CreateConfirmationPane() {
  lblConfirmation = MakeLabel(grpConfirmation, "lblConfirmation",
                              QStringLiteral("This is how the files would be renamed. You can view more info by "
                                             "double-clicking a filename, edit the names or remove any files from "
                                             "the renaming list by right-clicking. Continue?"),
                              8, 24, 225, 113);
  lblConfirmation->setWordWrap(true);
  lblConfirmation->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  cmdYes = Make<QPushButton>(grpConfirmation, "cmdYes", 8, 136, 105, 25);
  cmdYes->setText(QStringLiteral("&Yes"));
  cmdYes->setDefault(true);
  cmdYes->setEnabled(false);
  cmdNo = Make<QPushButton>(grpConfirmation, "cmdNo", 128, 136, 105, 25);
  cmdNo->setText(QStringLiteral("&No"));
}

void TfrmMain::CreateBusyPane() {
  lblLoading = MakeLabel(grpLoading, "lblLoading", QStringLiteral("Please wait, working..."), 8, 72, 225, 41);
  lblLoading->setAlignment(Qt::AlignCenter);
  lblLoading->setWordWrap(true);
  QFont font = lblLoading->font();
  font.setPixelSize(14);
  lblLoading->setFont(font);
  QPalette palette = lblLoading->palette();
  palette.setColor(QPalette::WindowText, Qt::black);
  lblLoading->setPalette(palette);

  cmdCancel = Make<QPushButton>(grpLoading, "cmdCancel", 56, 128, 129, 25);
  cmdCancel->setText(QStringLiteral("&Cancel"));
  cmdCancel->hide();
  SetTag(cmdCancel, 0);
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancelClick(); });
}

void TfrmMain::CreateMenus() {
  QMenuBar* mnuMain = menuBar();
  mnuMain->setObjectName(QStringLiteral("mnuMain"));

  mnuFile = MakeMenu(mnuMain, "mnuFile", QStringLiteral("&File"));
  mnuRefresh = MakeItem(mnuFile, "mnuRefresh", QStringLiteral("&Refresh"), QKeySequence(Qt::Key_F5));
  mnuRefresh->setShortcutContext(Qt::ApplicationShortcut);
  mnuFile->addSeparator()->setObjectName(QStringLiteral("N1"));
  mnuExit = MakeItem(mnuFile, "mnuExit", QStringLiteral("&Exit"));
  connect(mnuRefresh, &QAction::triggered, this, [this] { mnuRefreshClick(); });
  connect(mnuExit, &QAction::triggered, this, [this] { mnuExitClick(); });

  mnuOptions = MakeMenu(mnuMain, "mnuOptions", QStringLiteral("&Options"));
  mnuCaseSensitive = MakeCheckItem(mnuOptions, "mnuCaseSensitive", QStringLiteral("&Case sensitive"));
  mnuIncludeExtension = MakeCheckItem(mnuOptions, "mnuIncludeExtension", QStringLiteral("&Include extension"));
  mnuUndo = MakeCheckItem(mnuOptions, "mnuUndo", QStringLiteral("&Undo-file"));
  // A click on a checkable item inverts its check mark by itself, which is
  // all the three option handlers do; they stay for calls from code.

  mnuAdd = MakeMenu(mnuMain, "mnuAdd", QStringLiteral("&Add"));
  mnuSelectedFiles = MakeItem(mnuAdd, "mnuSelectedFiles", QStringLiteral("&Selected files"));
  mnuAllFiles = MakeItem(mnuAdd, "mnuAllFiles", QStringLiteral("&All files"), QKeySequence(Qt::CTRL | Qt::Key_A));
  mnuAdd->addSeparator()->setObjectName(QStringLiteral("N3"));
  mnuFolderName = MakeItem(mnuAdd, "mnuFolderName", QStringLiteral("Add current &folder name"));
  mnuAllFilesRecursive = MakeItem(mnuAdd, "mnuAllFilesRecursive", QStringLiteral("All files with &subfolders"));
  mnuAdd->addSeparator()->setObjectName(QStringLiteral("N4"));
  mnuClearSelected = MakeItem(mnuAdd, "mnuClearSelected", QStringLiteral("C&lear selected"), QKeySequence(Qt::Key_Delete));
  mnuClear = MakeItem(mnuAdd, "mnuClear", QStringLiteral("&Clear all"), QKeySequence(Qt::SHIFT | Qt::Key_Delete));
  connect(mnuAdd, &QMenu::aboutToShow, this, [this] { mnuAddClick(); });
  connect(mnuSelectedFiles, &QAction::triggered, this, [this] { mnuSelectedFilesClick(); });
  connect(mnuAllFiles, &QAction::triggered, this, [this] { mnuAllFilesClick(); });
  connect(mnuFolderName, &QAction::triggered, this, [this] { mnuFolderNameClick(); });
  connect(mnuAllFilesRecursive, &QAction::triggered, this, [this] { mnuAllFilesRecursiveClick(); });
  connect(mnuClearSelected, &QAction::triggered, this, [this] { mnuClearSelectedClick(); });
  connect(mnuClear, &QAction::triggered, this, [this] { mnuClearClick(); });

  mnuRename = MakeMenu(mnuMain, "mnuRename", QStringLiteral("&Rename"));
  // One page at a time: the items are drawn as a set of choices. The handler
  // sets the marks itself, so the group may also leave all eight clear.
  auto* renameChoices = new QActionGroup(mnuRename);
  renameChoices->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  const char* const renameCaptions[8] = {"&Replace", "&Add", "Auto-&number", "&Change case",
                                         "&Trim", "&Extension", "&Advanced", "&ID3-tag"};
  for (int n = 0; n < 8; ++n) {
    const QByteArray name = "mnuRename_" + QByteArray::number(n);
    mnuRename_[n] = MakeCheckItem(mnuRename, name.constData(), QString::fromLatin1(renameCaptions[n]));
    SetTag(mnuRename_[n], n);
    renameChoices->addAction(mnuRename_[n]);
    QAction* item = mnuRename_[n];
    connect(item, &QAction::triggered, this, [this, item] { mnuRename_0Click(item); });
  }

  About1 = MakeMenu(mnuMain, "About1", QStringLiteral("&Help"));
  About2 = MakeItem(About1, "About2", QStringLiteral("&About"), QKeySequence(Qt::Key_F1));
  About2->setShortcutContext(Qt::ApplicationShortcut);
  connect(About2, &QAction::triggered, this, [this] { About2Click(); });
}

void TfrmMain::CreatePopupMenus() {
  mnuPopUpFiles = new QMenu(this);
  mnuPopUpFiles->setObjectName(QStringLiteral("mnuPopUpFiles"));
  mnuClearSelected2 = MakeItem(mnuPopUpFiles, "mnuClearSelected2", QStringLiteral("&Clear"));
  mnuPopUpFiles->addSeparator();
  mnuClearAll2 = MakeItem(mnuPopUpFiles, "mnuClearAll2", QStringLiteral("Clear &all"));
  connect(mnuClearSelected2, &QAction::triggered, this, [this] { mnuClearSelectedClick(); });
  connect(mnuClearAll2, &QAction::triggered, this, [this] { mnuClearClick(); });

  mnuPopUpLocal = new QMenu(this);
  mnuPopUpLocal->setObjectName(QStringLiteral("mnuPopUpLocal"));
  mnuAddFile2 = MakeItem(mnuPopUpLocal, "mnuAddFile2", QStringLiteral("&Add"));
  mnuPopUpLocal->addSeparator();
  mnuDeleteFile = MakeItem(mnuPopUpLocal, "mnuDeleteFile", QStringLiteral("&Delete"));
  connect(mnuAddFile2, &QAction::triggered, this, [this] { mnuSelectedFilesClick(); });
  connect(mnuDeleteFile, &QAction::triggered, this, [this] { mnuDeleteFileClick(); });

  mnuPopUpRename = new QMenu(this);
  mnuPopUpRename->setObjectName(QStringLiteral("mnuPopUpRename"));
  mnuRemoveFromList = MakeItem(mnuPopUpRename, "mnuRemoveFromList", QStringLiteral("&Remove from list"));
  connect(mnuRemoveFromList, &QAction::triggered, this, [this] { mnuRemoveFromListClick(); });
}

void TfrmMain::CreateTimers() {
  const struct {
    QTimer** timer;
    const char* name;
    int interval;
    void (TfrmMain::*handler)();
  } timers[] = {
      {&tmrCheckFileNames, "tmrCheckFileNames", 50, &TfrmMain::tmrCheckFileNamesTimer},
      {&tmrMakeLists, "tmrMakeLists", 50, &TfrmMain::tmrMakeListsTimer},
      {&tmrDoRename, "tmrDoRename", 50, &TfrmMain::tmrDoRenameTimer},
      {&tmrRecursive, "tmrRecursive", 50, &TfrmMain::tmrRecursiveTimer},
      {&tmrRefresh, "tmrRefresh", 100, &TfrmMain::tmrRefreshTimer},
  };
  for (const auto& entry : timers) {
    auto* timer = new QTimer(this);
    timer->setObjectName(QString::fromLatin1(entry.name));
    timer->setInterval(entry.interval);
    connect(timer, &QTimer::timeout, this, entry.handler);
    *entry.timer = timer;
  }
  SetTag(tmrMakeLists, 0);
}

// ---------------------------------------------------------------------------
// Start-up and shut-down

void TfrmMain::FormCreate() {
  TreeRebuilding = false;
  ShowStatus(QStringLiteral("Loading settings..."));

  ProgramFolder = Paths::WithTrailingDelimiter(environment_.programFolder);
  SettingsFileName = Paths::SettingsFileName(ProgramFolder, environment_.home);
  RemoveInterruptedWrites(SettingsFileName);

  RootFolder = Paths::DefaultLastDir(ProgramFolder);
  cboPath->clear();
  for (const std::string& entry : Paths::InitialHistory()) cboPath->addItem(FromBytes(entry));
  cboPath->setCurrentText(kThisBuild == Build::Windows ? FromBytes(RootFolder) : QStringLiteral("/"));

  RootFolder = ReadIniString(SettingsFileName, kOptions, "LastDir", RootFolder);
  if (!FileSystem::IsExistingFolder(RootFolder)) RootFolder = Paths::FallbackRoot();

  txtPattern->setText(FromBytes(ReadIniString(SettingsFileName, kOptions, "Pattern", "*")));
  mnuCaseSensitive->setChecked(ReadIniInteger(SettingsFileName, kOptions, "CaseSensitive", 0) == 1);
  mnuIncludeExtension->setChecked(ReadIniInteger(SettingsFileName, kOptions, "IncludeExtension", 0) == 1);
  mnuUndo->setChecked(ReadIniInteger(SettingsFileName, kOptions, "UndoFile", 1) == 1);

  ShowStatus(QStringLiteral("Loading folder view..."));
  CurrentFolder = RootFolder;
  cboPath->setCurrentText(FromBytes(RootFolder));
  FillFolderTree();
  ListFiles(CurrentFolder);
  ShowStatus(QStringLiteral("Ready."));

  setWindowState(windowState() | Qt::WindowMaximized);
  Invoke(mnuRename_[0]);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
}

void TfrmMain::FormClose() {
  std::string error;
  const bool written =
      WriteIniString(SettingsFileName, kOptions, "LastDir", PathBoxText(), error) &&
      WriteIniString(SettingsFileName, kOptions, "Pattern", ToBytes(txtPattern->text()), error) &&
      WriteIniInteger(SettingsFileName, kOptions, "CaseSensitive", mnuCaseSensitive->isChecked() ? 1 : 0, error) &&
      WriteIniInteger(SettingsFileName, kOptions, "IncludeExtension", mnuIncludeExtension->isChecked() ? 1 : 0, error) &&
      WriteIniInteger(SettingsFileName, kOptions, "UndoFile", mnuUndo->isChecked() ? 1 : 0, error);
  if (!written) {
    // The window closes anyway: a read-only home must not keep the user in it.
    ShowMessage(this, {QStringLiteral("Error"),
                       QStringLiteral("The settings could not be saved to \"%1\". %2")
                           .arg(FromBytes(SettingsFileName), FromBytes(error)),
                       DialogIcon::Error, DialogButtons::Ok});
  }
}

// ---------------------------------------------------------------------------
// Layout

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TfrmMain::FormResize() {
  if (!grpRename_0) return;
  const int W = width();
  const int H = height();
  const int P = grpRename_0->width();
  const int half = W / 2 - P / 2 - 10;

  trvwLocal->resize(half, H - 80);
  lstvwLocal->setGeometry(trvwLocal->x() + trvwLocal->width(), lstvwLocal->y(), half, trvwLocal->height());
  grpRename_0->move(lstvwLocal->x() + lstvwLocal->width() + 5, grpRename_0->y());
  cboPath->resize(trvwLocal->width() - cmdUp->width(), cboPath->height());
  txtPattern->setGeometry(trvwLocal->x() + trvwLocal->width(), txtPattern->y(), lstvwLocal->width(),
                          txtPattern->height());
  lviFiles->setGeometry(lstvwLocal->x() + lstvwLocal->width() + 5, lviFiles->y(), lviFiles->width(),
                        H - grpRename_0->height() - 55);

  for (int n = 1; n <= 7; ++n) {
    auto* page = centralArea->findChild<QWidget*>(QStringLiteral("grpRename_%1").arg(n));
    if (page) page->move(grpRename_0->x(), page->y());
  }
  grpConfirmation->move(grpRename_0->x(), grpConfirmation->y());
  grpLoading->move(grpRename_0->x(), grpLoading->y());
}

void TfrmMain::HideViewControls(bool browse) {
  SetMenuEnabled(mnuRename, browse);
  SetMenuEnabled(mnuAdd, browse);
  SetMenuEnabled(mnuOptions, browse);
  for (QWidget* widget : {static_cast<QWidget*>(cmdUp), static_cast<QWidget*>(trvwLocal),
                          static_cast<QWidget*>(lstvwLocal), static_cast<QWidget*>(cboPath),
                          static_cast<QWidget*>(txtPattern), static_cast<QWidget*>(lviFiles)})
    widget->setVisible(browse);
  lviRename->setVisible(!browse);
  FormResize();
  lviRename->setGeometry(trvwLocal->x(), cboPath->y(), trvwLocal->width() + lstvwLocal->width(),
                         trvwLocal->height());
}

void TfrmMain::SetMenuEnabled(QMenu* menu, bool enabled) {
  menu->menuAction()->setEnabled(enabled);
  menu->setEnabled(enabled);
}

// ---------------------------------------------------------------------------
// Operation pages

void TfrmMain::HideOperationPages() {
  grpLoading->hide();
  for (int n = 0; n <= 7; ++n) {
    if (auto* page = centralArea->findChild<QWidget*>(QStringLiteral("grpRename_%1").arg(n))) page->hide();
    if (auto* item = findChild<QAction*>(QStringLiteral("mnuRename_%1").arg(n))) item->setChecked(false);
  }
}

void TfrmMain::mnuRename_0Click(QObject* sender) {
  HideOperationPages();
  const int n = Tag(sender);
  if (auto* item = findChild<QAction*>(QStringLiteral("mnuRename_%1").arg(n))) item->setChecked(true);
  if (auto* page = centralArea->findChild<QWidget*>(QStringLiteral("grpRename_%1").arg(n))) page->show();
}

// ---------------------------------------------------------------------------
// Status line and busy pane

void TfrmMain::ShowStatus(const QString& text) {
  statusText_->setText(text);
  const bool ready = text.startsWith(QLatin1String("Ready"), Qt::CaseSensitive);
  if (!ready) {
    setCursor(Qt::WaitCursor);
    grpLoading->setCursor(Qt::WaitCursor);
    lviRename->setCursor(Qt::WaitCursor);
    grpLoading->show();
    grpLoading->raise();
    lblLoading->setText(text);
    SetTag(cmdCancel, 0);
  } else {
    unsetCursor();
    grpLoading->unsetCursor();
    lviRename->unsetCursor();
    grpLoading->hide();
  }
}

QString TfrmMain::StatusText() const { return statusText_->text(); }

bool TfrmMain::CancelRequested() const { return Tag(cmdCancel) != 0; }

// ---------------------------------------------------------------------------
// Menu and button handlers

void TfrmMain::mnuExitClick() { close(); }

void TfrmMain::mnuCaseSensitiveClick() { mnuCaseSensitive->setChecked(!mnuCaseSensitive->isChecked()); }
void TfrmMain::mnuIncludeExtensionClick() { mnuIncludeExtension->setChecked(!mnuIncludeExtension->isChecked()); }
void TfrmMain::mnuUndoClick() { mnuUndo->setChecked(!mnuUndo->isChecked()); }

void TfrmMain::About2Click() {
  const QString text = QStringLiteral("Quillon v7.2\r\nby the Quillon developers\r\n\r\n%1\r\n%2")
                           .arg(QString::fromLatin1(AppEnvironment::kContact),
                                QString::fromLatin1(AppEnvironment::kHomePage));
  ShowMessage(this, {QApplication::applicationName(), text, DialogIcon::None, DialogButtons::Ok});
}

void TfrmMain::cmdCancelClick() { SetTag(cmdCancel, 1); }

// ---------------------------------------------------------------------------
// Small helpers

void TfrmMain::Invoke(QAction* item) {
  if (item && item->isEnabled()) item->trigger();
}

int TfrmMain::Tag(const QObject* object) { return object ? object->property(kTagProperty).toInt() : 0; }

void TfrmMain::SetTag(QObject* object, int value) { object->setProperty(kTagProperty, value); }
