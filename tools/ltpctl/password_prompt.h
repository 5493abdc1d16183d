// Reading a password from a terminal without showing it.
#pragma once

#include <istream>
#include <string>

namespace ltpctl {

// True when standard input is a terminal.
bool InputIsTerminal();

// Reads one line from in. When standard input is a terminal, prompt goes to standard error and
// echo is off while the line is typed, so the password never shows. CR LF endings are trimmed.
std::string ReadPasswordLine(std::istream& in, const char* prompt);

} // namespace ltpctl
