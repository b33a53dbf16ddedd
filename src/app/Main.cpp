#include "app/Main.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <climits>

#include "app/Settings.h"
#include "browser/FileView.h"
#include "browser/FolderTree.h"
#include "platform/AtomicFile.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "rename/BackgroundRun.h"
#include "rename/Journal.h"
#include "rename/OperationPages.h"
#include "rename/PreviewPane.h"
#include "rename/UndoManager.h"
#include "renamelist/RenameList.h"
#include "widgets/Dialogs.h"
#include "widgets/SearchLock.h"
#include "widgets/WidgetBridge.h"
#include "widgets/WidgetFactory.h"

TfrmMain* frmMain = nullptr;

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

  centralArea = new QWidget(this);
  centralArea->setObjectName(QStringLiteral("centralArea"));
  setCentralWidget(centralArea);

  // The rooms make their widgets on the central area. This order keeps the
  // keyboard's tab order of the design; the stacking is set after.
  pages_ = new OperationPages(centralArea, this);
  preview_ = new PreviewPane(centralArea, *this, *pages_, this);
  undo_ = new UndoManager(*this, this);
  CreateBusyPane();
  stbStatus = new QStatusBar(this);
  stbStatus->setObjectName(QStringLiteral("stbStatus"));
  stbStatus->setSizeGripEnabled(true);
  statusText_ = new QLabel(QStringLiteral("Ready."), stbStatus);
  statusText_->setObjectName(QStringLiteral("stbStatusText"));
  stbStatus->addWidget(statusText_, 1);
  setStatusBar(stbStatus);
  renameList_ = new RenameList(centralArea, *this, this);
  folderTree_ = new FolderTree(centralArea, *this, this);
  fileView_ = new FileView(centralArea, *this, this);
  ArrangeStackingAndTabOrder();

  CreateMenus();
  ConnectRooms();

  FormCreate();
  FormResize();
  LetMenuTakeUndoKey();
  fileView_->FocusPattern();
}

// A text box takes Ctrl+Z only while it holds typing to undo; otherwise the
// key reaches File > Undo last rename, also right after start, when the
// pattern box has the focus.
void TfrmMain::LetMenuTakeUndoKey() {
  for (QLineEdit* box : centralArea->findChildren<QLineEdit*>()) {
    new EventHook(box, [box](QEvent* event) {
      if (event->type() != QEvent::ShortcutOverride) return false;
      if (!static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo) || box->isUndoAvailable()) return false;
      event->ignore();
      return true;
    });
  }
}

TfrmMain::~TfrmMain() {
  if (frmMain == this) frmMain = nullptr;
  // A run still working reads the preview's entries: it ends before they go.
  preview_->Run().CancelAndWait();
  undo_->Run().CancelAndWait();
}

// ---------------------------------------------------------------------------
// Construction

// Later panes lie above earlier ones, and the keyboard's tab order follows
// the screen from left to right, top to bottom, as the design has them.
void TfrmMain::ArrangeStackingAndTabOrder() {
  static const char* const kStacking[] = {
      "grpRename_0", "grpRename_2", "grpRename_3", "grpRename_4", "grpRename_5", "grpRename_6",
      "grpRename_1", "grpRename_7", "grpConfirmation", "grpLoading", "trvwLocal", "lstvwLocal",
      "txtPattern", "lviRename", "lviFiles", "cmdUp", "cboPath"};
  for (const char* name : kStacking)
    if (auto* pane = centralArea->findChild<QWidget*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly))
      pane->raise();

  std::vector<QWidget*> stops = folderTree_->TabStops();
  for (const auto& more : {fileView_->TabStops(), preview_->TabStops()}) stops.insert(stops.end(), more.begin(), more.end());
  for (std::size_t i = 1; i < stops.size(); ++i) setTabOrder(stops[i - 1], stops[i]);
}

void TfrmMain::CreateBusyPane() {
  grpLoading = MakePane(centralArea, "grpLoading", QStringLiteral("Please wait, working..."), 424);
  grpLoading->setAutoFillBackground(true);  // it lies over the page below it

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

  // Between the text and Cancel: how far a long rename or undo has got.
  prgRun = Make<QProgressBar>(grpLoading, "prgRun", 8, 114, 225, 10);
  prgRun->setTextVisible(false);
  prgRun->hide();
  connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancelClick(); });
  grpLoading->hide();
}

void TfrmMain::CreateMenus() {
  QMenuBar* mnuMain = menuBar();
  mnuMain->setObjectName(QStringLiteral("mnuMain"));

  mnuFile = MakeMenu(mnuMain, "mnuFile", QStringLiteral("&File"));
  mnuRefresh = MakeItem(mnuFile, "mnuRefresh", QStringLiteral("&Refresh"), QKeySequence(Qt::Key_F5));
  mnuRefresh->setShortcutContext(Qt::ApplicationShortcut);
  // Ctrl+Z in a text box undoes the typing there while there is typing to
  // undo (LetMenuTakeUndoKey); otherwise it is this item's.
  mnuUndoLastRename = MakeItem(mnuFile, "mnuUndoLastRename", QStringLiteral("&Undo last rename"),
                               QKeySequence(Qt::CTRL | Qt::Key_Z));
  mnuUndoLastRename->setEnabled(false);
  mnuFile->addSeparator()->setObjectName(QStringLiteral("N1"));
  mnuExit = MakeItem(mnuFile, "mnuExit", QStringLiteral("&Exit"));
  connect(mnuRefresh, &QAction::triggered, this, [this] { fileView_->mnuRefreshClick(); });
  connect(mnuUndoLastRename, &QAction::triggered, this, [this] { mnuUndoLastRenameClick(); });
  // Another copy of the program may have undone the runs meanwhile.
  connect(mnuFile, &QMenu::aboutToShow, this, [this] { UpdateUndoLastRename(true); });
  connect(mnuExit, &QAction::triggered, this, [this] { mnuExitClick(); });

  mnuOptions = MakeMenu(mnuMain, "mnuOptions", QStringLiteral("&Options"));
  mnuCaseSensitive = MakeCheckItem(mnuOptions, "mnuCaseSensitive", QStringLiteral("&Case sensitive"));
  mnuIncludeExtension = MakeCheckItem(mnuOptions, "mnuIncludeExtension", QStringLiteral("&Include extension"));
  mnuUndo = MakeCheckItem(mnuOptions, "mnuUndo", QStringLiteral("&Undo-file"));
  // A click on a checkable item inverts its check mark by itself, which is
  // all the three option handlers do; they stay for calls from code.

  renameList_->CreateAddMenu(mnuMain);

  mnuRename = MakeMenu(mnuMain, "mnuRename", QStringLiteral("&Rename"));
  // One page at a time: the items are drawn as a set of choices. The handler
  // sets the marks itself, so the group may also leave all eight clear.
  auto* renameChoices = new QActionGroup(mnuRename);
  renameChoices->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  const char* const renameCaptions[8] = {"&Replace", "&Add", "Auto-&number", "&Change case",
                                         "&Trim", "&Extension", "A&dvanced", "&ID3-tag"};
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

void TfrmMain::ConnectRooms() {
  folderTree_->SetFileView(fileView_);
  renameList_->SetFileView(fileView_);
  preview_->SetRenameList(renameList_);
  connect(folderTree_, &FolderTree::FolderChosen, fileView_, &FileView::ListFiles);
  connect(fileView_, &FileView::FolderListed, folderTree_, &FolderTree::ShowListedFolder);
  connect(fileView_, &FileView::FolderUnreadable, folderTree_, &FolderTree::MarkUnreadable);
  connect(fileView_, &FileView::AddSelectedFilesRequested, renameList_, &RenameList::mnuSelectedFilesClick);
  connect(fileView_, &FileView::DraggedOver, renameList_, &RenameList::RemoveDraggedOut);
  connect(pages_, &OperationPages::RenameRequested, preview_, &PreviewPane::StartPreview);
  // The pages learn of it directly: the pane reports its hiding also while
  // the window is torn down.
  connect(preview_, &PreviewPane::PageCovered, pages_, &OperationPages::SetCovered);
  connect(preview_, &PreviewPane::RenameListWanted, renameList_, &RenameList::FillForPreview);
  connect(preview_, &PreviewPane::RenameListUsed, renameList_, &RenameList::ClearRenameList);
  connect(preview_, &PreviewPane::PreviewDropped, renameList_, &RenameList::PreviewDropped);
  connect(preview_, &PreviewPane::RunFinished, undo_, &UndoManager::RecordRun);
  connect(undo_, &UndoManager::UndoableRunsChanged, this, [this] { UpdateUndoLastRename(true); });

  connect(cmdCancel, &QPushButton::clicked, renameList_, &RenameList::StopRecursiveSearch);
  // Escape cancels a running search, as in any progress dialog; it is a
  // shortcut only while the search runs, so it never takes Escape from an
  // editor.
  escapeCancelsSearch = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escapeCancelsSearch->setObjectName(QStringLiteral("escapeCancelsSearch"));
  escapeCancelsSearch->setContext(Qt::WindowShortcut);
  escapeCancelsSearch->setEnabled(false);
  connect(escapeCancelsSearch, &QShortcut::activated, this, [this] {
    if (cmdCancel->isVisible() && cmdCancel->isEnabled()) cmdCancel->click();
  });
}

// ---------------------------------------------------------------------------
// Start-up and shut-down

void TfrmMain::FormCreate() {
  ShowStatus(QStringLiteral("Loading settings..."));

  programFolder_ = Paths::WithTrailingDelimiter(environment_.programFolder);
  settingsFileName_ = Paths::SettingsFileName(programFolder_, environment_.home);
  RemoveInterruptedWrites(settingsFileName_);

  const std::string defaultRoot = Paths::DefaultLastDir(programFolder_);
  folderTree_->ResetHistory(defaultRoot);

  const Settings settings = Settings::Read(settingsFileName_, defaultRoot);
  std::string root = Paths::MakeAbsolute(settings.lastDir, FileSystem::WorkingFolder());
  if (!FileSystem::IsExistingFolder(root)) root = Paths::FallbackRoot();

  fileView_->SetPattern(FromBytes(settings.pattern));
  mnuCaseSensitive->setChecked(settings.caseSensitive);
  mnuIncludeExtension->setChecked(settings.includeExtension);
  mnuUndo->setChecked(settings.undoFile);

  ShowStatus(QStringLiteral("Loading folder view..."));
  fileView_->SetCurrentFolder(root);
  folderTree_->ShowTree(root);
  fileView_->ListFiles(root);
  // The listing ends ready, and may say why the folder looks empty.
  if (!StatusText().startsWith(QLatin1String("Ready"))) ShowStatus(QStringLiteral("Ready."));

  setWindowState(windowState() | Qt::WindowMaximized);
  Invoke(mnuRename_[0]);
  UpdateUndoLastRename(true);
  // Asked once the window is up, so that the question has a window to belong to.
  QTimer::singleShot(0, this, [this] {
    GuardedJournalScan([this] {
      const std::string notice = Journal::JournalNotice(environment_.stateFolder);
      if (!notice.empty())
        ShowMessage(this, {QStringLiteral("Information"), FromBytes(notice), DialogIcon::Information, DialogButtons::Ok});
      return true;
    });
    OfferUndoOnceShown();
  });
}

// The start-up question waits until the window is on screen in its place and
// size, so that it is centred on the window it belongs to.
void TfrmMain::OfferUndoOnceShown() {
  QTimer::singleShot(50, this, [this] {
    if (isVisible() && windowHandle() && windowHandle()->isExposed())
      GuardedJournalScan([this] {
        undo_->OfferUndoOfUnfinishedRun();
        return true;
      });
    else
      OfferUndoOnceShown();
  });
}

// A journal that makes the scan fail costs the undo command, never the start.
// The box waits for the event loop, so that the window is up first, and the
// same failure is told once.
bool TfrmMain::GuardedJournalScan(const std::function<bool()>& scan) {
  try {
    return scan();
  } catch (const std::exception& e) {
    const QString text = QStringLiteral("The rename journals could not be read: %1").arg(FromBytes(e.what()));
    if (text != journalScanError_)
      QTimer::singleShot(0, this, [this, text] { ShowErrorMessage(this, text); });
    journalScanError_ = text;
  }
  return false;
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Closing the window stops a running search; the worker is joined when the
  // window goes.
  renameList_->StopRecursiveSearch();
  // A rename or an undo stops between two entries; its counts, journal and
  // undo file are complete before the window goes.
  preview_->FinishRunNow();
  undo_->FinishRunNow();
  FormClose();
  event->accept();
}

void TfrmMain::FormClose() {
  Settings settings;
  settings.lastDir = folderTree_->PathBoxText();
  settings.pattern = ToBytes(fileView_->Pattern());
  const Options options = CurrentOptions();
  settings.caseSensitive = options.caseSensitive;
  settings.includeExtension = options.includeExtension;
  settings.undoFile = options.undoFile;
  std::string error;
  if (!settings.Write(settingsFileName_, error)) {
    // The window closes anyway: a read-only home must not keep the user in it.
    ShowErrorMessage(this, QStringLiteral("The settings could not be saved to \"%1\". %2")
                               .arg(FromBytes(settingsFileName_), FromBytes(error)));
  }
}

// ---------------------------------------------------------------------------
// Layout

void TfrmMain::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  FormResize();
}

void TfrmMain::FormResize() {
  if (!fileView_) return;  // resized while the rooms are being made
  const int W = width();
  const int H = height();
  const QRect page = pages_->PageGeometry();
  const int half = W / 2 - page.width() / 2 - 10;

  folderTree_->LayOut(half, H - 80);
  const QRect tree = folderTree_->TreeGeometry();
  fileView_->LayOut(tree.x() + tree.width(), half, tree.height());
  const QRect files = fileView_->ListGeometry();
  const int right = files.x() + files.width() + 5;
  pages_->MoveTo(right);
  renameList_->LayOut(right, H - page.height() - 55);
  preview_->MoveTo(right);
  grpLoading->move(right, grpLoading->y());
}

void TfrmMain::HideViewControls(bool browse) {
  previewShown_ = !browse;
  UpdateUndoLastRename(false);
  SetMenuEnabled(mnuRename, browse);
  renameList_->SetMenuEnabled(browse);
  SetMenuEnabled(mnuOptions, browse);
  folderTree_->SetShown(browse);
  fileView_->SetShown(browse);
  renameList_->SetShown(browse);
  preview_->SetListShown(!browse);
  FormResize();
  const QRect tree = folderTree_->TreeGeometry();
  preview_->PlaceList(QRect(tree.x(), folderTree_->PathBoxTop(), tree.width() + fileView_->ListGeometry().width(),
                            tree.height()));
}

void TfrmMain::UpdateUndoLastRename(bool recheckRuns) {
  if (!mnuUndoLastRename) return;  // the rooms switch the layout while they are made
  if (recheckRuns) undoableRun_ = GuardedJournalScan([this] { return undo_->HasUndoableRun(); });
  if (!searchLocked_) mnuUndoLastRename->setEnabled(undoableRun_ && !previewShown_);
}

void TfrmMain::SetMenuEnabled(QMenu* menu, bool enabled) {
  menu->menuAction()->setEnabled(enabled);
  menu->setEnabled(enabled);
}

// ---------------------------------------------------------------------------
// Operation pages

void TfrmMain::HideOperationPages() {
  grpLoading->hide();
  pages_->HidePages();
  for (QAction* item : mnuRename_) item->setChecked(false);
}

void TfrmMain::mnuRename_0Click(QObject* sender) {
  HideOperationPages();
  const int n = Tag(sender);
  if (n >= 0 && n < OperationPages::kPageCount) mnuRename_[n]->setChecked(true);
  pages_->ShowPage(n);
}

// ---------------------------------------------------------------------------
// Status line and busy pane

void TfrmMain::ShowStatus(const QString& text) {
  statusText_->setText(text);
  const bool ready = text.startsWith(QLatin1String("Ready"), Qt::CaseSensitive);
  if (!ready) {
    setCursor(Qt::WaitCursor);
    grpLoading->setCursor(Qt::WaitCursor);
    preview_->SetWaitCursor(true);
    grpLoading->show();
    grpLoading->raise();
    lblLoading->setText(text);
    SetTag(cmdCancel, 0);
    prgRun->hide();
  } else {
    unsetCursor();
    grpLoading->unsetCursor();
    preview_->SetWaitCursor(false);
    grpLoading->hide();
    prgRun->hide();
  }
}

QString TfrmMain::StatusText() const { return statusText_->text(); }

bool TfrmMain::CancelRequested() const { return Tag(cmdCancel) != 0; }

void TfrmMain::ShowBusyProgress(const QString& firstLine, const QString& secondLine) {
  const QString first = lblLoading->fontMetrics().elidedText(firstLine, Qt::ElideMiddle, lblLoading->width() - 4);
  const QString shown = first + QLatin1Char('\n') + secondLine;
  if (lblLoading->text() != shown) lblLoading->setText(shown);
}

void TfrmMain::ShowRunProgress(const QString& firstLine, std::size_t done, std::size_t total) {
  const int scale = total > std::size_t(INT_MAX) ? int(total / INT_MAX + 1) : 1;  // QProgressBar counts in int
  prgRun->setRange(0, int(total / scale));
  prgRun->setValue(int(std::min(done, total) / scale));
  prgRun->show();
  ShowBusyProgress(firstLine, total ? QStringLiteral("%1 of %2").arg(done).arg(total) : QString());
}

// Disables (or restores) every menu item and pane that could change the lists.
void TfrmMain::LockForBackgroundWork(bool lock, bool cancellable) {
  if (searchLocked_ == lock) return;
  searchLocked_ = lock;

  // Cancel is the one thing the busy pane offers meanwhile; it keeps the
  // normal pointer under the window's wait cursor, takes the keyboard focus
  // and answers Escape too.
  if (lock) focusBeforeSearch_ = QApplication::focusWidget();
  const bool offerCancel = lock && cancellable;
  cmdCancel->setVisible(offerCancel);
  if (offerCancel)
    cmdCancel->setCursor(Qt::ArrowCursor);
  else
    cmdCancel->unsetCursor();
  escapeCancelsSearch->setEnabled(offerCancel);

  HoldForSearch(mnuRename, lock);
  HoldForSearch(mnuOptions, lock);
  HoldForSearch(mnuRefresh, lock);
  HoldForSearch(mnuUndoLastRename, lock);
  folderTree_->SetSearchLocked(lock);
  fileView_->SetSearchLocked(lock);
  renameList_->SetSearchLocked(lock);
  preview_->SetSearchLocked(lock);
  pages_->SetSearchLocked(lock);

  if (offerCancel) {
    cmdCancel->setFocus(Qt::OtherFocusReason);
  } else {
    QWidget* before = focusBeforeSearch_;
    if (before && before->isVisible() && before->isEnabled()) before->setFocus(Qt::OtherFocusReason);
    focusBeforeSearch_.clear();
  }
}

void TfrmMain::RefreshFiles() { Invoke(mnuRefresh); }

std::function<DirListing::FolderRows()> TfrmMain::RefreshReader() const { return fileView_->RefreshReader(); }

void TfrmMain::ShowRefreshedFiles(DirListing::FolderRows listing) {
  // As a click on Refresh, which does nothing while the command is disabled.
  if (!mnuRefresh->isEnabled()) return;
  fileView_->ShowRefreshed(std::move(listing));
}

WindowServices::Options TfrmMain::CurrentOptions() const {
  return {mnuCaseSensitive->isChecked(), mnuIncludeExtension->isChecked(), mnuUndo->isChecked()};
}

// ---------------------------------------------------------------------------
// Menu and button handlers

void TfrmMain::mnuExitClick() { close(); }

void TfrmMain::mnuCaseSensitiveClick() { mnuCaseSensitive->setChecked(!mnuCaseSensitive->isChecked()); }
void TfrmMain::mnuIncludeExtensionClick() { mnuIncludeExtension->setChecked(!mnuIncludeExtension->isChecked()); }
void TfrmMain::mnuUndoClick() { mnuUndo->setChecked(!mnuUndo->isChecked()); }
void TfrmMain::mnuUndoLastRenameClick() {
  if (mnuUndoLastRename->isEnabled()) undo_->UndoLastRename();
}

void TfrmMain::About2Click() {
  const QString text = QStringLiteral("Quillon v7.2\r\nby the Quillon developers\r\n\r\n%1\r\n%2")
                           .arg(QString::fromLatin1(AppEnvironment::kContact),
                                QString::fromLatin1(AppEnvironment::kHomePage));
  ShowMessage(this, {QApplication::applicationName(), text, DialogIcon::None, DialogButtons::Ok});
}

void TfrmMain::cmdCancelClick() { SetTag(cmdCancel, 1); }
