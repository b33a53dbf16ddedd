#include "rename/OperationPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionComboBox>

#include <functional>
#include <utility>

#include "rename/StringH.h"
#include "widgets/SearchLock.h"
#include "widgets/WidgetBridge.h"
#include "widgets/WidgetFactory.h"

namespace {

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

OperationPages::OperationPages(QWidget* area, QObject* parent) : QObject(parent) {
  CreatePages(area);
  ConnectPages();
}

void OperationPages::CreatePages(QWidget* area) {
  grpRename_0 = MakePane(area, "grpRename_0", QStringLiteral("Replace"), 424);
  grpRename_2 = MakePane(area, "grpRename_2", QStringLiteral("Auto-number"), 424);
  grpRename_3 = MakePane(area, "grpRename_3", QStringLiteral("Change case"), 424);
  grpRename_4 = MakePane(area, "grpRename_4", QStringLiteral("Trim"), 424);
  grpRename_5 = MakePane(area, "grpRename_5", QStringLiteral("Extension"), 424);
  grpRename_6 = MakePane(area, "grpRename_6", QStringLiteral("Advanced add"), 424);
  grpRename_1 = MakePane(area, "grpRename_1", QStringLiteral("Add"), 424);
  grpRename_7 = MakePane(area, "grpRename_7", QStringLiteral("ID3-tag"), 432);
  grpRename_7->hide();

  pages_ = {grpRename_0, grpRename_1, grpRename_2, grpRename_3, grpRename_4, grpRename_5, grpRename_6, grpRename_7};

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
  chkAutonumberZero->setText(QStringLiteral("Add &zeros before numbers"));
  chkAutonumberZero->setChecked(true);

  // Page 3: Change case. A page's access keys never take a letter of the
  // menu bar (F, O, A, R, H): the menus must open with theirs from any page.
  page = grpRename_3;
  const struct {
    QRadioButton** button;
    const char* name;
    const char* caption;
  } caseButtons[] = {
      {&optChangeCaseAllUpperCase, "optChangeCaseAllUpperCase", "ALL &UPPERCASE"},
      {&optChangeCaseAllLowercase, "optChangeCaseAllLowercase", "all &lowercase"},
      {&optChangeCaseFirstUpperCase, "optChangeCaseFirstUpperCase", "Firs&t Letter Uppercase"},
      {&optChangeCaseFirstLowerCase, "optChangeCaseFirstLowerCase", "f&IRST lETTER lOWERCASE"},
      {&optChangeCaseOpposite, "optChangeCaseOpposite", "O&pposite case (a -> A, A -> a)"},
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
    cmdRename[n] = Make<QPushButton>(pages_[n], name.constData(), 8, 144, 225, 25);
    cmdRename[n]->setText(QStringLiteral("&Quillon!"));
    cmdRename[n]->setDefault(true);
    cmdRename[n]->setAutoDefault(true);
    SetTag(cmdRename[n], n);
    FitCaptionsToWidth(pages_[n]);
  }
}

void OperationPages::ConnectPages() {
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

void OperationPages::CheckComboText(QComboBox* combo) {
  if (!combo || combo->count() == 0) return;
  const QString text = combo->currentText();
  for (int i = 0; i < combo->count(); ++i)
    if (combo->itemText(i) == text) return;
  combo->setCurrentText(combo->itemText(0));
}

void OperationPages::cboAddPositionSelect() {
  txtAddPosition->setEnabled(cboAddPosition->currentText() == QLatin1String("to this position"));
}

void OperationPages::cmdRename_0Click(QObject* sender) {
  const int operation = Tag(sender);
  PreviewValues values = Values();
  values.operation = operation;
  // A required box left empty ends the press quietly.
  if (!HasRequiredValues(values)) return;
  if (operation == kOperationAutoNumber && txtAutonumberStart->text().isEmpty())
    txtAutonumberStart->setText(QStringLiteral("0"));
  emit RenameRequested(operation);
}

PreviewValues OperationPages::Values() const {
  PreviewValues values;
  values.replaceFrom = ToBytes(txtReplaceFrom->text());
  values.replaceTo = ToBytes(txtReplaceTo->text());
  values.addText = ToBytes(txtAddText->text());
  values.addPosition = AddPositionOf(ToBytes(cboAddPosition->currentText()));
  values.addPositionNumber = ToBytes(txtAddPosition->text());
  values.autonumberBefore = ToBytes(txtAutonumberBefore->text());
  values.autonumberStart = ToBytes(txtAutonumberStart->text());
  values.autonumberAfter = ToBytes(txtAutonumberAfter->text());
  values.autonumberZero = chkAutonumberZero->isChecked();
  values.caseMode = CaseModeOf({optChangeCaseAllUpperCase->isChecked(), optChangeCaseAllLowercase->isChecked(),
                                optChangeCaseFirstUpperCase->isChecked(), optChangeCaseFirstLowerCase->isChecked(),
                                optChangeCaseOpposite->isChecked()});
  values.trimAmount = ToBytes(txtTrimAmount->text());
  values.trimFromStart = TrimsFromStart(ToBytes(cboTrimFrom->currentText()));
  values.makeThisLong = MakesThisLong(ToBytes(cboTrimAmount->currentText()));
  values.extension = ToBytes(txtExtension->text());
  values.advancedLow = ToBytes(txtAdvancedAddASCII1->text());
  values.advancedHigh = ToBytes(txtAdvancedAddASCII2->text());
  values.advancedText = ToBytes(txtAdvancedAddNew->text());
  values.advancedBefore = AddsBefore(ToBytes(cboAdvancedAddPosition->currentText()));
  values.id3Format = ToBytes(txtID3Format->text());
  return values;
}

void OperationPages::ShowPage(int n) {
  if (n >= 0 && n < kPageCount && pages_[std::size_t(n)]) pages_[std::size_t(n)]->show();
}

void OperationPages::HidePages() {
  for (const QPointer<QGroupBox>& page : pages_)
    if (page) page->hide();
}

void OperationPages::MoveTo(int left) {
  for (const QPointer<QGroupBox>& page : pages_) page->move(left, page->y());
}

QRect OperationPages::PageGeometry() const { return grpRename_0->geometry(); }

void OperationPages::SetCovered(bool covered) {
  for (const QPointer<QGroupBox>& page : pages_)
    if (page) page->setEnabled(!covered);
}

void OperationPages::SetSearchLocked(bool lock) {
  for (const QPointer<QGroupBox>& page : pages_) HoldForSearch(page, lock);
}
