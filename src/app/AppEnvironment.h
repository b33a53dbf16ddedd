#pragma once

#include <string>

// Where the window takes the program folder, the home folder and the state
// folder from. Tests point all three at temporary folders, so that no test
// writes an undo file beside the real executable, a settings file into the
// real home or a rename journal into the real state folder.
struct AppEnvironment {
  std::string programFolder;  // with a trailing delimiter
  std::string home;           // value of HOME; empty when unset
  std::string stateFolder;    // the rename journals' folder, no trailing delimiter
  // Contact and home page shown in the About box (and named in the README).
  static constexpr const char* kContact = "quillon-dev@users.noreply.github.com";
  static constexpr const char* kHomePage = "https://github.com/quillon-renamer/quillon";

  static AppEnvironment FromProcess();
};
