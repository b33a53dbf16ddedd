#pragma once

#include <string>

// Where the window takes the program folder and the home folder from. Tests
// point both at temporary folders, so that no test writes an undo file beside
// the real executable or a settings file into the real home.
struct AppEnvironment {
  std::string programFolder;  // with a trailing delimiter
  std::string home;           // value of HOME; empty when unset
  // Contact and home page shown in the About box (and named in the README).
  static constexpr const char* kContact = "quillon-dev@users.noreply.github.com";
  static constexpr const char* kHomePage = "https://github.com/quillon-renamer/quillon";

  static AppEnvironment FromProcess();
};
