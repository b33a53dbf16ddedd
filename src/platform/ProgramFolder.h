#pragma once

#include <string>

// The folder of the running executable, with a trailing delimiter, exactly as
// the file system names it: Linux the bytes of /proc/self/exe's target (valid
// UTF-8 or not), Windows the system's UTF-16 name as UTF-8. Empty when the
// system cannot tell.
std::string ProgramFolder();
