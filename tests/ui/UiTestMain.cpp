#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Nothing a test starts may reach the real state folder.
  QTemporaryDir state;
  qputenv("XDG_STATE_HOME", state.path().toUtf8());
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillon!"));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
