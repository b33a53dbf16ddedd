#pragma once

#include <string>

// The settings file: INI text with sections and key=value lines. Every call
// loads the whole file, does its one read or write, and writes the whole file
// back (atomically), so no handle is held between calls. Section and key names
// match without regard to letter case.

// The key's value; `defaultValue` when the file, section or key is missing.
// A key present with an empty value gives the empty text.
std::string ReadIniString(const std::string& fileName, const std::string& section,
                          const std::string& key, const std::string& defaultValue);

// The key's value as a number: "0x"/"0X" + hex digits (text longer than two
// characters), otherwise a decimal integer; `defaultValue` when missing,
// empty or not a number.
int ReadIniInteger(const std::string& fileName, const std::string& section,
                   const std::string& key, int defaultValue);

// Stores the value (creating file and section as needed). False with the
// system's reason in `error` when the file cannot be written.
bool WriteIniString(const std::string& fileName, const std::string& section,
                    const std::string& key, const std::string& value, std::string& error);
bool WriteIniInteger(const std::string& fileName, const std::string& section,
                     const std::string& key, int value, std::string& error);
