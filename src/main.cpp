#include <QApplication>

#include "app/Main.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon!"));
  TfrmMain frmMain;
  frmMain.show();
  return app.exec();
}
