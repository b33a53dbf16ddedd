#pragma once

#include <string>

// The five settings the window keeps between runs, in the [Options] section
// of the settings file, with their defaults.
struct Settings {
  std::string lastDir;          // LastDir: the folder shown at start-up
  std::string pattern = "*";    // Pattern: the file view's pattern box
  bool caseSensitive = false;   // CaseSensitive (1 = checked)
  bool includeExtension = false;  // IncludeExtension (1 = checked)
  bool undoFile = true;         // UndoFile (1 = checked)

  // The settings in the file; a missing key gives its default, LastDir's
  // being `defaultLastDir`. A check mark is set by the value 1 only.
  static Settings Read(const std::string& fileName, const std::string& defaultLastDir);
  // Writes the five keys in the order above; stops at the first that cannot
  // be written and returns false with the system's reason in `error`.
  bool Write(const std::string& fileName, std::string& error) const;
};
