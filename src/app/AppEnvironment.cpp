#include "app/AppEnvironment.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdlib>

#include "platform/Paths.h"

AppEnvironment AppEnvironment::FromProcess() {
  AppEnvironment environment;
  const QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
  environment.programFolder = Paths::WithTrailingDelimiter(folder.toLocal8Bit().toStdString());
  if (const char* home = std::getenv("HOME")) environment.home = home;
  return environment;
}
