// A configuration file that cannot be used: the line it refers to and why.
#pragma once

#include <stdexcept>
#include <string>

namespace ltpstate {

class FileError : public std::runtime_error {
public:
    FileError(int line, const std::string& what)
        : std::runtime_error("line " + std::to_string(line) + ": " + what), m_line(line) {}
    int line() const noexcept { return m_line; }

private:
    int m_line;
};

} // namespace ltpstate
