#pragma once

#include <QObject>
#include <QPointer>

#include <array>

#include "rename/Preview.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// The eight operation pages (Replace ... ID3-tag), one shown at a time,
// their input guards and key filters. A page's "Quillon!" button asks for a
// preview once its required boxes hold text; the pages hand out their values
// as a PreviewValues.
class OperationPages : public QObject {
  Q_OBJECT

 public:
  static constexpr int kPageCount = 8;

  OperationPages(QWidget* area, QObject* parent);

  // The values of every page; `operation` and the options are the caller's.
  PreviewValues Values() const;

  void cmdRename_0Click(QObject* sender);
  static void CheckComboText(QComboBox* combo);
  void cboAddPositionSelect();

  // Shows page `n` (0-7); HidePages hides them all.
  void ShowPage(int n);
  void HidePages();
  // Layout: every page's left edge.
  void MoveTo(int left);
  QRect PageGeometry() const;
  // The confirmation pane covers the page: its controls are out of reach.
  void SetCovered(bool covered);
  void SetSearchLocked(bool lock);

 signals:
  // The page's button was pressed with every required box filled in.
  void RenameRequested(int operation);

 private:
  void CreatePages(QWidget* area);
  void ConnectPages();

  // In page-number order; guarded, since the confirmation pane reports its
  // hiding also while the window is torn down.
  std::array<QPointer<QGroupBox>, kPageCount> pages_;

  QGroupBox* grpRename_0 = nullptr;
  QGroupBox* grpRename_1 = nullptr;
  QGroupBox* grpRename_2 = nullptr;
  QGroupBox* grpRename_3 = nullptr;
  QGroupBox* grpRename_4 = nullptr;
  QGroupBox* grpRename_5 = nullptr;
  QGroupBox* grpRename_6 = nullptr;
  QGroupBox* grpRename_7 = nullptr;
  QPushButton* cmdRename[kPageCount] = {};
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
};
