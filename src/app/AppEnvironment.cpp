#include "app/AppEnvironment.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdlib>

#include "platform/Paths.h"
#include "platform/ProgramFolder.h"
#include "rename/Journal.h"

AppEnvironment AppEnvironment::FromProcess() {
  AppEnvironment environment;
  // The executable's path as the file system names it; the toolkit's text
  // is empty for a folder name that is not valid UTF-8.
  environment.programFolder = ProgramFolder();
  const QString folder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
  if (environment.programFolder.empty() && !folder.isEmpty())
    environment.programFolder = Paths::WithTrailingDelimiter(folder.toUtf8().toStdString());
  if (const char* home = std::getenv("HOME")) environment.home = home;
  environment.stateFolder = Journal::StateFolderOfThisUser();
  return environment;
}
