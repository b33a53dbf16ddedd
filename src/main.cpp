#include <QApplication>

#include <cstdio>
#include <cstring>
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

constexpr const char* kHelp =
    "Usage: quillon [OPTION]...\n"
    "Rename many files and folders at once: collect them in a rename list, pick\n"
    "one of eight operations, check the preview of every new name, confirm.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -v, --version  show the version and exit\n"
    "\n"
    "Qt's own options (such as -platform) are accepted as well.\n"
    "Settings: ~/.Quillon.ini. Rename journals for Undo:\n"
    "$XDG_STATE_HOME/quillon (by default ~/.local/state/quillon).\n"
    "Manual: man quillon.\n";

// --help and --version answer before the window system is asked for, so they
// work without a display.
bool AnswerWithoutWindow(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kHelp, stdout);
      return true;
    }
    if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-v") == 0) {
      std::fputs("quillon 7.2\n", stdout);
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (AnswerWithoutWindow(argc, argv)) return std::fflush(stdout) == 0 ? 0 : 1;
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
