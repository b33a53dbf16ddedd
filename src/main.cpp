#include <QApplication>

#include <exception>

#include "app/Main.h"
#include "widgets/Dialogs.h"

namespace {

// Whatever a handler lets escape is reported in a box and the program goes
// on: a fault in one command must not take the window, and the user's
// pending work, down with it.
void ReportEscaped(const char* what) {
  ShowErrorMessage(nullptr, QStringLiteral("Quillon met an unexpected error: %1").arg(QString::fromLocal8Bit(what)));
}

class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      ReportEscaped(e.what());
    } catch (...) {
      ReportEscaped("unknown error");
    }
    return false;
  }
};

}  // namespace

int main(int argc, char* argv[]) {
  GuardedApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon!"));
  try {
    TfrmMain frmMain;
    frmMain.show();
    return app.exec();
  } catch (const std::exception& e) {
    ReportEscaped(e.what());
  } catch (...) {
    ReportEscaped("unknown error");
  }
  return 1;
}
