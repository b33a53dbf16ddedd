#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every message box of the program goes through ShowMessage, so that tests can
// record the boxes and answer them without anything modal blocking.
enum class DialogIcon { None, Information, Warning, Error, Question };
enum class DialogButtons { Ok, YesNo };
enum class DialogAnswer { Ok, Yes, No };

struct DialogRequest {
  QString title;
  QString text;
  DialogIcon icon = DialogIcon::None;
  DialogButtons buttons = DialogButtons::Ok;
};

DialogAnswer ShowMessage(QWidget* parent, const DialogRequest& request);
// A box titled "Error" with the error icon and an OK button.
void ShowErrorMessage(QWidget* parent, const QString& text);

// A window beside the main window, not modal, that lists one item a line:
// `headline` above a read-only text of `lines`, and a Close button. The one
// window (objectName "frmFailedRenames", its text "txtFailedRenames") is
// reused and raised for each new list.
void ShowListWindow(QWidget* parent, const QString& title, const QString& headline, const QString& lines);

// Replaces the real message boxes (tests); an empty handler restores them.
using DialogHandler = std::function<DialogAnswer(const DialogRequest&)>;
void SetDialogHandler(DialogHandler handler);
