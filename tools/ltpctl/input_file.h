// Files named on the command line (a batch, an information text): a folder, a missing or
// unreadable file is a usage mistake reported by name, never a crash or an empty success.
#pragma once

#include <fstream>
#include <string>

namespace ltpctl {

// Opens path for reading; false with error set (naming the file) when it cannot be read.
bool OpenInputFile(const std::string& path, std::ifstream& in, std::string& error);

// The whole content of path; false with error set when it cannot be read to its end.
bool ReadInputFile(const std::string& path, std::string& text, std::string& error);

} // namespace ltpctl
