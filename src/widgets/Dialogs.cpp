#include "widgets/Dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {
DialogHandler& InstalledHandler() {
  static DialogHandler handler;
  return handler;
}

QMessageBox::Icon ToQtIcon(DialogIcon icon) {
  switch (icon) {
    case DialogIcon::Information: return QMessageBox::Information;
    case DialogIcon::Warning: return QMessageBox::Warning;
    case DialogIcon::Error: return QMessageBox::Critical;
    case DialogIcon::Question: return QMessageBox::Question;
    case DialogIcon::None: break;
  }
  return QMessageBox::NoIcon;
}
}  // namespace

void SetDialogHandler(DialogHandler handler) { InstalledHandler() = std::move(handler); }

DialogAnswer ShowMessage(QWidget* parent, const DialogRequest& request) {
  if (InstalledHandler()) return InstalledHandler()(request);

  const bool yesNo = request.buttons == DialogButtons::YesNo;
  QMessageBox box(ToQtIcon(request.icon), request.title, request.text,
                  yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok, parent);
  const int answer = box.exec();
  if (!yesNo) return DialogAnswer::Ok;
  return answer == QMessageBox::Yes ? DialogAnswer::Yes : DialogAnswer::No;
}

void ShowErrorMessage(QWidget* parent, const QString& text) {
  ShowMessage(parent, {QStringLiteral("Error"), text, DialogIcon::Error, DialogButtons::Ok});
}

void ShowListWindow(QWidget* parent, const QString& title, const QString& headline, const QString& lines) {
  auto* window = parent->findChild<QDialog*>(QStringLiteral("frmFailedRenames"), Qt::FindDirectChildrenOnly);
  if (!window) {
    window = new QDialog(parent);
    window->setObjectName(QStringLiteral("frmFailedRenames"));
    window->setModal(false);
    auto* layout = new QVBoxLayout(window);
    auto* label = new QLabel(window);
    label->setObjectName(QStringLiteral("lblFailedRenames"));
    label->setWordWrap(true);
    auto* text = new QPlainTextEdit(window);
    text->setObjectName(QStringLiteral("txtFailedRenames"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    label->setBuddy(text);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::hide);
    layout->addWidget(label);
    layout->addWidget(text);
    layout->addWidget(buttons);
    window->resize(560, 300);
  }
  window->setWindowTitle(title);
  window->findChild<QLabel*>(QStringLiteral("lblFailedRenames"))->setText(headline);
  auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("txtFailedRenames"));
  text->setPlainText(lines);
  text->setAccessibleName(headline);
  window->show();
  window->raise();
}
