#pragma once

#include <QIcon>
#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <string>
#include <vector>

#include "app/AppEnvironment.h"
#include "renamelist/RenameListEntry.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTimer;
class QTreeView;
class QTreeWidget;
class QTreeWidgetItem;

class FileViewModel;
class RenameListModel;
class PreviewListModel;
class RecursiveSearch;

// The program's one window. It owns every widget and the window-wide state.
// Handlers are defined in the folder of the subsystem they belong to:
//   src/app       window, layout, page switching, status, menus, settings
//   src/browser   folder tree, path box, file view
//   src/renamelist  rename list and the recursive search
//   src/rename    operation pages, preview list, confirmation and execution
class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmMain(const AppEnvironment& environment = AppEnvironment::FromProcess(),
                    QWidget* parent = nullptr);
  ~TfrmMain() override;

  // ---- Window-wide state -------------------------------------------------
  std::string CurrentFolder;     // shown in the file view, trailing delimiter
  std::string RootFolder;        // top node of the folder tree
  std::string ProgramFolder;     // folder of the executable, trailing delimiter
  std::string SettingsFileName;  // full path of the settings file
  bool TreeRebuilding = false;

  // ---- Main window (src/app) ----------------------------------------------
  void ShowStatus(const QString& text);
  QString StatusText() const;
  void HideViewControls(bool browse);
  void HideOperationPages();
  void FormResize();
  void mnuRename_0Click(QObject* sender);
  void mnuCaseSensitiveClick();
  void mnuIncludeExtensionClick();
  void mnuUndoClick();
  void About2Click();
  void mnuExitClick();
  void cmdCancelClick();
  // Runs a menu item exactly as a click on it: nothing while it is disabled.
  static void Invoke(QAction* item);
  // The integer tag value that some widgets carry (operation numbers,
  // KeepRenameList, CancelRequested).
  static int Tag(const QObject* object);
  static void SetTag(QObject* object, int value);
  bool CancelRequested() const;
  void SetMenuEnabled(QMenu* menu, bool enabled);

  // ---- Folder tree and path box (src/browser/FolderTree.cpp) ---------------
  void FillFolderTree();
  void FillFolderNode(const std::string& folderPath, QTreeWidgetItem* node);
  void trvwLocalChange(QTreeWidgetItem* node);
  void trvwLocalExpanded(QTreeWidgetItem* node);
  void trvwLocalCollapsed(QTreeWidgetItem* node);
  void cmdUpClick();
  void cboPathClick();
  // Adds the path-history entry of a folder path (trailing delimiter).
  void AddHistoryEntry(const std::string& folderPath);
  // The path box's text as file-system bytes: the exact bytes of the current
  // folder or of a history entry while the box shows one of them.
  std::string PathBoxText() const;
  QIcon imglstTreeView[2];  // 0 closed folder, 1 open folder

  // ---- File view (src/browser/FileView.cpp) --------------------------------
  void ListFiles(const std::string& folderPath);
  void mnuRefreshClick();
  void tmrRefreshTimer();
  void txtPatternChange();
  // False when the rename failed (the error box has been shown).
  bool lstvwLocalEdited(int row, const std::string& newName);
  void mnuDeleteFileClick();
  void lstvwLocalDblClick();
  // What the file view offers the rename list: its rows in display order
  // (exact bytes of each name) and which of them are selected.
  int FileViewRowCount() const;
  const std::string& FileViewName(int row) const;
  std::vector<int> FileViewSelectedRows() const;  // ascending

  // ---- Rename list (src/renamelist/RenameList.cpp) -------------------------
  int KeepRenameList() const;
  void SetKeepRenameList(int value);
  bool IsInRenameList(const std::string& name, const std::string& path) const;
  void AddToRenameList(const std::string& name, const std::string& path);
  static void RemoveFirstSelectedItem(QTreeView* list);
  void mnuSelectedFilesClick();
  void mnuAllFilesClick();
  void mnuFolderNameClick();
  void mnuAllFilesRecursiveClick();
  void tmrRecursiveTimer();
  void mnuClearSelectedClick();
  void mnuClearClick();
  void mnuAddClick();
  void lviFilesDragOver();
  void lviFilesItemMouseDown(Qt::MouseButton button, const QPoint& position);
  // The entries in list order, for the preview builder and the execution.
  const std::vector<RenameListEntry>& RenameListEntries() const;
  void ClearRenameList();
  // Where the keyboard focus was when a recursive search began; Cancel holds
  // it meanwhile.
  QPointer<QWidget> focusBeforeSearch;

  // ---- Operation pages and preview (src/rename/OperationPages.cpp) ---------
  void cmdRename_0Click(QObject* sender);
  void tmrMakeListsTimer();
  void MakePreviewList(int operation);
  bool CheckFileNames(bool showMessages);
  void tmrCheckFileNamesTimer();
  static void CheckComboText(QComboBox* combo);
  void cboAddPositionSelect();

  // ---- Confirmation and execution (src/rename/Confirmation.cpp) ------------
  void cmdYesClick();
  void tmrDoRenameTimer();
  void PerformRename();
  void cmdNoClick();
  void lviRenameDblClick();
  void lviRenameEdited(int row);
  // Mouse press on the preview list (run once the view has handled it).
  void lviRenameMouseDown(Qt::MouseButton button, const QPoint& globalPosition);
  void mnuRemoveFromListClick();

  // ---- Widgets, in creation order ------------------------------------------
  QWidget* centralArea = nullptr;
  QGroupBox* grpRename_0 = nullptr;
  QGroupBox* grpRename_2 = nullptr;
  QGroupBox* grpRename_3 = nullptr;
  QGroupBox* grpRename_4 = nullptr;
  QGroupBox* grpRename_5 = nullptr;
  QGroupBox* grpRename_6 = nullptr;
  QGroupBox* grpRename_1 = nullptr;
  QGroupBox* grpRename_7 = nullptr;
  QGroupBox* grpConfirmation = nullptr;
  QGroupBox* grpLoading = nullptr;
  QTreeWidget* trvwLocal = nullptr;
  QTreeView* lstvwLocal = nullptr;
  QLineEdit* txtPattern = nullptr;
  QTreeView* lviRename = nullptr;
  QStatusBar* stbStatus = nullptr;
  QTreeView* lviFiles = nullptr;
  QPushButton* cmdUp = nullptr;
  QComboBox* cboPath = nullptr;

  // Busy pane
  QLabel* lblLoading = nullptr;
  QPushButton* cmdCancel = nullptr;

  // Operation pages
  QPushButton* cmdRename[8] = {};
  QLabel* lblReplace1 = nullptr;
  QLineEdit* txtReplaceFrom = nullptr;
  QLabel* lblReplace2 = nullptr;
  QLineEdit* txtReplaceTo = nullptr;
  QLabel* lblAdd1 = nullptr;
  QLineEdit* txtAddText = nullptr;
  QLabel* lblAdd2 = nullptr;
  QComboBox* cboAddPosition = nullptr;
  QLineEdit* txtAddPosition = nullptr;
  QLabel* lblAutonumber1 = nullptr;
  QLineEdit* txtAutonumberBefore = nullptr;
  QLabel* lblAutoNumber2 = nullptr;
  QLineEdit* txtAutonumberStart = nullptr;
  QLabel* lblAutoNumber3 = nullptr;
  QLineEdit* txtAutonumberAfter = nullptr;
  QCheckBox* chkAutonumberZero = nullptr;
  QRadioButton* optChangeCaseAllUpperCase = nullptr;
  QRadioButton* optChangeCaseAllLowercase = nullptr;
  QRadioButton* optChangeCaseFirstUpperCase = nullptr;
  QRadioButton* optChangeCaseFirstLowerCase = nullptr;
  QRadioButton* optChangeCaseOpposite = nullptr;
  QLineEdit* txtTrimAmount = nullptr;
  QComboBox* cboTrimFrom = nullptr;
  QComboBox* cboTrimAmount = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* txtExtension = nullptr;
  QLabel* lblAdvancedAdd1 = nullptr;
  QLineEdit* txtAdvancedAddASCII1 = nullptr;
  QLabel* lblAdvancedAdd2 = nullptr;
  QLineEdit* txtAdvancedAddASCII2 = nullptr;
  QLabel* lblAdvancedAdd3 = nullptr;
  QLineEdit* txtAdvancedAddNew = nullptr;
  QComboBox* cboAdvancedAddPosition = nullptr;
  QLabel* lblGetFileNames = nullptr;
  QLineEdit* txtID3Format = nullptr;

  // Confirmation pane
  QLabel* lblConfirmation = nullptr;
  QPushButton* cmdYes = nullptr;
  QPushButton* cmdNo = nullptr;

  // Menus
  QMenu* mnuFile = nullptr;
  QAction* mnuRefresh = nullptr;
  QAction* mnuExit = nullptr;
  QMenu* mnuOptions = nullptr;
  QAction* mnuCaseSensitive = nullptr;
  QAction* mnuIncludeExtension = nullptr;
  QAction* mnuUndo = nullptr;
  QMenu* mnuAdd = nullptr;
  QAction* mnuSelectedFiles = nullptr;
  QAction* mnuAllFiles = nullptr;
  QAction* mnuFolderName = nullptr;
  QAction* mnuAllFilesRecursive = nullptr;
  QAction* mnuClearSelected = nullptr;
  QAction* mnuClear = nullptr;
  QMenu* mnuRename = nullptr;
  QAction* mnuRename_[8] = {};
  QMenu* About1 = nullptr;
  QAction* About2 = nullptr;

  // Popup menus
  QMenu* mnuPopUpFiles = nullptr;
  QAction* mnuClearSelected2 = nullptr;
  QAction* mnuClearAll2 = nullptr;
  QMenu* mnuPopUpLocal = nullptr;
  QAction* mnuAddFile2 = nullptr;
  QAction* mnuDeleteFile = nullptr;
  QMenu* mnuPopUpRename = nullptr;
  QAction* mnuRemoveFromList = nullptr;

  // Timers (created stopped; each handler stops its own timer first)
  QTimer* tmrCheckFileNames = nullptr;
  QTimer* tmrMakeLists = nullptr;
  QTimer* tmrDoRename = nullptr;
  QTimer* tmrRecursive = nullptr;
  QTimer* tmrRefresh = nullptr;

  // List models (rows are core structs; display converted on demand)
  FileViewModel* lstvwLocalModel = nullptr;
  RenameListModel* lviFilesModel = nullptr;
  PreviewListModel* lviRenameModel = nullptr;
  RecursiveSearch* recursiveSearch = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateWidgets();
  void CreatePages();
  void CreateConfirmationPane();
  void CreateBusyPane();
  void CreateMenus();
  void CreatePopupMenus();
  void CreateTimers();
  void FormCreate();
  void FormClose();

  // Each subsystem connects its own handlers and models to the widgets.
  void SetupFolderTree();   // src/browser/FolderTree.cpp
  void SetupFileView();     // src/browser/FileView.cpp
  void SetupRenameList();   // src/renamelist/RenameList.cpp
  void SetupOperationPages();  // src/rename/OperationPages.cpp
  void SetupPreviewList();  // src/rename/Confirmation.cpp

  AppEnvironment environment_;
  QLabel* statusText_ = nullptr;
};

extern TfrmMain* frmMain;
