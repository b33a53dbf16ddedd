#include "app/Settings.h"

#include "app/IniFile.h"

namespace {
const char* const kOptions = "Options";
}  // namespace

Settings Settings::Read(const std::string& fileName, const std::string& defaultLastDir) {
  Settings settings;
  settings.lastDir = ReadIniString(fileName, kOptions, "LastDir", defaultLastDir);
  settings.pattern = ReadIniString(fileName, kOptions, "Pattern", "*");
  settings.caseSensitive = ReadIniInteger(fileName, kOptions, "CaseSensitive", 0) == 1;
  settings.includeExtension = ReadIniInteger(fileName, kOptions, "IncludeExtension", 0) == 1;
  settings.undoFile = ReadIniInteger(fileName, kOptions, "UndoFile", 1) == 1;
  return settings;
}

bool Settings::Write(const std::string& fileName, std::string& error) const {
  return WriteIniString(fileName, kOptions, "LastDir", lastDir, error) &&
         WriteIniString(fileName, kOptions, "Pattern", pattern, error) &&
         WriteIniInteger(fileName, kOptions, "CaseSensitive", caseSensitive ? 1 : 0, error) &&
         WriteIniInteger(fileName, kOptions, "IncludeExtension", includeExtension ? 1 : 0, error) &&
         WriteIniInteger(fileName, kOptions, "UndoFile", undoFile ? 1 : 0, error);
}
