#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>

#include "app/AppEnvironment.h"
#include "app/WindowServices.h"

class FileView;
class FolderTree;
class OperationPages;
class PreviewPane;
class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QShortcut;
class QStatusBar;
class RenameList;
class UndoManager;

// The program's one window. It composes the rooms (folder tree, file view,
// rename list, operation pages, preview pane), lays them out, switches the
// operation pages, owns the menus that belong to no room, the status line and
// the busy pane, and reads and writes the settings at start-up and shut-down.
class TfrmMain : public QMainWindow, private WindowServices {
  Q_OBJECT

 public:
  explicit TfrmMain(const AppEnvironment& environment = AppEnvironment::FromProcess(),
                    QWidget* parent = nullptr);
  ~TfrmMain() override;

  FolderTree& folderTree() { return *folderTree_; }
  FileView& fileView() { return *fileView_; }
  RenameList& renameList() { return *renameList_; }
  OperationPages& operationPages() { return *pages_; }
  PreviewPane& previewPane() { return *preview_; }
  UndoManager& undoManager() { return *undo_; }

  const std::string& ProgramFolder() const override { return programFolder_; }
  const std::string& StateFolder() const override { return environment_.stateFolder; }
  const std::string& SettingsFileName() const { return settingsFileName_; }

  void ShowStatus(const QString& text) override;
  QString StatusText() const override;
  bool CancelRequested() const override;
  void HideViewControls(bool browse) override;
  void HideOperationPages();
  void FormResize();
  void mnuRename_0Click(QObject* sender);
  void mnuCaseSensitiveClick();
  void mnuIncludeExtensionClick();
  void mnuUndoClick();
  void mnuUndoLastRenameClick();
  void About2Click();
  void mnuExitClick();
  void cmdCancelClick();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateBusyPane();
  void CreateMenus();
  void ConnectRooms();
  void ArrangeStackingAndTabOrder();
  void FormCreate();
  void FormClose();
  void LetMenuTakeUndoKey();
  void OfferUndoOnceShown();
  static void SetMenuEnabled(QMenu* menu, bool enabled);
  // "Undo last rename" is offered while a run can be undone and no preview
  // is shown; `recheckRuns` reads the journals again.
  void UpdateUndoLastRename(bool recheckRuns);
  // Runs a scan of the rename journals; whatever it throws is reported in a
  // box and counts as false.
  bool GuardedJournalScan(const std::function<bool()>& scan);
  QString journalScanError_;  // the last failure GuardedJournalScan told

  // WindowServices
  void ShowBusyProgress(const QString& firstLine, const QString& secondLine) override;
  void ShowRunProgress(const QString& firstLine, std::size_t done, std::size_t total) override;
  void LockForBackgroundWork(bool lock, bool cancellable) override;
  void RefreshFiles() override;
  std::function<DirListing::FolderRows()> RefreshReader() const override;
  void ShowRefreshedFiles(DirListing::FolderRows listing) override;
  Options CurrentOptions() const override;
  QWidget* DialogParent() override { return this; }

  AppEnvironment environment_;
  std::string programFolder_;     // folder of the executable, trailing delimiter
  std::string settingsFileName_;  // full path of the settings file
  bool searchLocked_ = false;
  bool previewShown_ = false;
  bool undoableRun_ = false;  // the journals hold a run that can be undone
  // Where the keyboard focus was when a recursive search began; Cancel holds
  // it meanwhile.
  QPointer<QWidget> focusBeforeSearch_;

  QWidget* centralArea = nullptr;
  OperationPages* pages_ = nullptr;
  PreviewPane* preview_ = nullptr;
  UndoManager* undo_ = nullptr;
  RenameList* renameList_ = nullptr;
  FolderTree* folderTree_ = nullptr;
  FileView* fileView_ = nullptr;

  // Busy pane and status line
  QGroupBox* grpLoading = nullptr;
  QLabel* lblLoading = nullptr;
  QPushButton* cmdCancel = nullptr;
  QProgressBar* prgRun = nullptr;
  QShortcut* escapeCancelsSearch = nullptr;
  QStatusBar* stbStatus = nullptr;
  QLabel* statusText_ = nullptr;

  // Menus (the Add menu is the rename list's)
  QMenu* mnuFile = nullptr;
  QAction* mnuRefresh = nullptr;
  QAction* mnuUndoLastRename = nullptr;
  QAction* mnuExit = nullptr;
  QMenu* mnuOptions = nullptr;
  QAction* mnuCaseSensitive = nullptr;
  QAction* mnuIncludeExtension = nullptr;
  QAction* mnuUndo = nullptr;
  QMenu* mnuRename = nullptr;
  QAction* mnuRename_[8] = {};
  QMenu* About1 = nullptr;
  QAction* About2 = nullptr;
};

extern TfrmMain* frmMain;
