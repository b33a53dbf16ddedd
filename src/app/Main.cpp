#include "app/Main.h"
TfrmMain::TfrmMain(QWidget* parent) : QMainWindow(parent) { setWindowTitle(QStringLiteral("Quillon! v7.2")); }
