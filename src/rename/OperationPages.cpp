#include "app/Main.h"
#include "app/WidgetBridge.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <utility>

#include "app/Dialogs.h"
#include "rename/Preview.h"
#include "rename/PreviewListModel.h"
#include "rename/StringH.h"

namespace {


// The character a key press types into a line edit, or -1 for a key that
// types nothing there: navigation and editing keys, Tab and Enter, and
// shortcuts such as Ctrl+V (so pasting still works). Backspace counts as
// typed (code 8), as the digit filter expects it.
int TypedCharacter(const QKeyEvent& key) {
  const QString text = key.text();
  if (text.isEmpty()) return -1;
  const Qt::KeyboardModifiers mods = key.modifiers();
  // Ctrl+Alt is AltGr on some keyboards and does type characters.
  if ((mods & (Qt::ControlModifier | Qt::MetaModifier)) && !(mods & Qt::AltModifier)) return -1;
  const int code = int(text.toUcs4().value(0));
  if (code == 8) return code;
  if (code < 32 || code == 127) return -1;
  return code;
}

// Swallows the typed characters that `accept` refuses; every other event of
// the line edit passes.
class TypedKeyFilter : public QObject {
 public:
  TypedKeyFilter(QObject* parent, std::function<bool(int)> accept) : QObject(parent), accept_(std::move(accept)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const int code = TypedCharacter(*static_cast<QKeyEvent*>(event));
      if (code >= 0 && !accept_(code)) return true;
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  std::function<bool(int)> accept_;
};

// Enter in a box of an operation page presses the page's default button, as
// it does in a dialog. Line edits, combo boxes, check boxes and radio buttons
// leave Enter to their page; a focused push button takes its own.
class DefaultButtonKey : public QObject {
 public:
  DefaultButtonKey(QWidget* page, QPushButton* button) : QObject(page), button_(button) {
    page->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
      if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && button_->isEnabled()) {
        button_->click();
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QPushButton* button_;
};

}  // namespace

void TfrmMain::SetupOperationPages() {
  for (int n = 0; n < 8; ++n) {
    QPushButton* button = cmdRename[n];
    connect(button, &QPushButton::clicked, this, [this, button] { cmdRename_0Click(button); });
    new DefaultButtonKey(button->parentWidget(), button);
  }

  // Tab enters the case options at the checked one; the arrow keys move
  // between them (and Qt keeps the Tab stop on the one last focused).
  for (QRadioButton* option : {optChangeCaseAllUpperCase, optChangeCaseAllLowercase, optChangeCaseFirstUpperCase,
                               optChangeCaseFirstLowerCase, optChangeCaseOpposite})
    option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::FocusPolicy(Qt::StrongFocus & ~Qt::TabFocus));

  // The four combo guards (cboAddPositionChange, cboTrimFromChange,
  // cboTrimAmountChange, cboAdvancedAddPositionChange).
  for (QComboBox* combo : {cboAddPosition, cboTrimFrom, cboTrimAmount, cboAdvancedAddPosition})
    connect(combo, &QComboBox::editTextChanged, this, [combo] { CheckComboText(combo); });
  connect(cboAddPosition, &QComboBox::activated, this, [this] { cboAddPositionSelect(); });

  // txtAddPositionKeyPress, txtAutonumberStartKeyPress, txtTrimAmountKeyPress,
  // txtAdvancedAddASCII1KeyPress, txtAdvancedAddASCII2KeyPress.
  auto* digitFilter = new TypedKeyFilter(this, [](int code) { return StringH::FilterDigitKey(code) != 0; });
  for (QLineEdit* box : {txtAddPosition, txtAutonumberStart, txtTrimAmount, txtAdvancedAddASCII1,
                         txtAdvancedAddASCII2})
    box->installEventFilter(digitFilter);
  // txtExtensionKeyPress, shared by txtAdvancedAddNew.
  auto* dotFilter = new TypedKeyFilter(this, [](int code) { return code != '.'; });
  txtExtension->installEventFilter(dotFilter);
  txtAdvancedAddNew->installEventFilter(dotFilter);
}

void TfrmMain::CheckComboText(QComboBox* combo) {
  if (!combo || combo->count() == 0) return;
  const QString text = combo->currentText();
  for (int i = 0; i < combo->count(); ++i)
    if (combo->itemText(i) == text) return;
  combo->setCurrentText(combo->itemText(0));
}

void TfrmMain::cboAddPositionSelect() {
  txtAddPosition->setEnabled(cboAddPosition->currentText() == QLatin1String("to this position"));
}

void TfrmMain::cmdRename_0Click(QObject* sender) {
  const int operation = Tag(sender);
  // Required boxes, in this order; the first empty one ends the press quietly.
  std::vector<QLineEdit*> required;
  switch (operation) {
    case kOperationReplace: required = {txtReplaceFrom}; break;
    case kOperationAdd: required = {txtAddText, txtAddPosition}; break;
    case kOperationTrim: required = {txtTrimAmount}; break;
    case kOperationAdvancedAdd: required = {txtAdvancedAddASCII1, txtAdvancedAddASCII2, txtAdvancedAddNew}; break;
    case kOperationID3Tag: required = {txtID3Format}; break;
    default: break;
  }
  for (QLineEdit* box : required)
    if (box->text().isEmpty()) return;
  if (operation == kOperationAutoNumber && txtAutonumberStart->text().isEmpty())
    txtAutonumberStart->setText(QStringLiteral("0"));

  grpConfirmation->show();
  HideViewControls(false);
  ShowStatus(QStringLiteral("Creating preview list..."));
  SetTag(tmrMakeLists, operation);
  tmrMakeLists->start();
}

void TfrmMain::tmrMakeListsTimer() {
  tmrMakeLists->stop();
  MakePreviewList(Tag(tmrMakeLists));
}

void TfrmMain::MakePreviewList(int operation) {
  if (RenameListEntries().empty()) {
    Invoke(mnuAllFiles);
    SetKeepRenameList(0);
    if (RenameListEntries().empty()) {
      ShowStatus(QStringLiteral("Ready."));
      ShowMessage(this, {QStringLiteral("No files selected"),
                         QStringLiteral("Please select the files and folders you wish to rename by adding them "
                                        "to the list."),
                         DialogIcon::Information, DialogButtons::Ok});
      return;
    }
  }

  PreviewValues values;
  values.operation = operation;
  values.includeExtension = mnuIncludeExtension->isChecked();
  values.caseSensitive = mnuCaseSensitive->isChecked();
  values.replaceFrom = ToBytes(txtReplaceFrom->text());
  values.replaceTo = ToBytes(txtReplaceTo->text());
  values.addText = ToBytes(txtAddText->text());
  values.addPosition = ToBytes(cboAddPosition->currentText());
  values.addPositionNumber = ToBytes(txtAddPosition->text());
  values.autonumberBefore = ToBytes(txtAutonumberBefore->text());
  values.autonumberStart = ToBytes(txtAutonumberStart->text());
  values.autonumberAfter = ToBytes(txtAutonumberAfter->text());
  values.autonumberZero = chkAutonumberZero->isChecked();
  values.caseMode = CaseModeOf({optChangeCaseAllUpperCase->isChecked(), optChangeCaseAllLowercase->isChecked(),
                                optChangeCaseFirstUpperCase->isChecked(), optChangeCaseFirstLowerCase->isChecked(),
                                optChangeCaseOpposite->isChecked()});
  values.trimAmount = ToBytes(txtTrimAmount->text());
  values.trimFrom = ToBytes(cboTrimFrom->currentText());
  values.trimMode = ToBytes(cboTrimAmount->currentText());
  values.extension = ToBytes(txtExtension->text());
  values.advancedLow = ToBytes(txtAdvancedAddASCII1->text());
  values.advancedHigh = ToBytes(txtAdvancedAddASCII2->text());
  values.advancedText = ToBytes(txtAdvancedAddNew->text());
  values.advancedPosition = ToBytes(cboAdvancedAddPosition->currentText());
  values.id3Format = ToBytes(txtID3Format->text());

  lviRenameModel->Clear();
  // An entry that cannot be built (an ID3 file that cannot be opened) ends
  // the build quietly; the entries made before it are shown and checked.
  PreviewBuild build = BuildPreview(RenameListEntries(), values);
  lviRenameModel->SetEntries(std::move(build.entries));

  CheckFileNames(true);
  ShowStatus(QStringLiteral("Ready."));
  lviRename->setFocus();
}

bool TfrmMain::CheckFileNames(bool showMessages) {
  cmdYes->setEnabled(false);
  const PreviewCheck check = CheckPreview(lviRenameModel->entries());
  if (check.passed()) {
    cmdYes->setEnabled(true);
    return true;
  }
  if (showMessages) {
    // Point at the entry to mend: the first that fails, selected and in view.
    const QModelIndex failing = lviRenameModel->index(int(check.index), PreviewListModel::kNewName);
    lviRename->setCurrentIndex(failing);
    lviRename->scrollTo(failing);
    const QString text = check.problem == PreviewProblem::InvalidName
                             ? QStringLiteral("There are invalid filenames. This rename cannot be completed until "
                                              "you change them.")
                             : QStringLiteral("There are conflicting filenames. This rename cannot be completed "
                                              "until you change them.");
    ShowMessage(this, {QStringLiteral("Error"), text, DialogIcon::Error, DialogButtons::Ok});
  }
  return false;
}

void TfrmMain::tmrCheckFileNamesTimer() {
  tmrCheckFileNames->stop();
  CheckFileNames(false);
}
