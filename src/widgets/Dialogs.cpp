#include "widgets/Dialogs.h"

#include <QMessageBox>

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
