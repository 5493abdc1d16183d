#include "tools/ltpctl/pager.h"

#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace ltpctl {
namespace {

// Lines of the terminal standard output shows; 0 when unknown (then nothing is paged). LINES
// stands in when the terminal does not tell.
std::size_t TerminalRows() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0)
        return size.ws_row;
    const char* lines = std::getenv("LINES");
    return lines ? static_cast<std::size_t>(std::max(0L, std::strtol(lines, nullptr, 10))) : 0;
}

bool Paged(const std::string& text) {
    const char* pager = std::getenv("PAGER");
    if (pager && !*pager)
        return false;
    std::cout.flush();
    // less as a pager should quit when the table fits (F), keep colours (R) and leave the table
    // on the screen (X); a LESS of the user's own wins.
    setenv("LESS", "FRX", 0);
    // A pager quit early closes the pipe: the rest of the table is not wanted, not an error.
    void (*previous)(int) = std::signal(SIGPIPE, SIG_IGN);
    FILE* pipe = popen(pager ? pager : "less", "w");
    if (!pipe) {
        std::signal(SIGPIPE, previous);
        return false;
    }
    std::fwrite(text.data(), 1, text.size(), pipe);
    const int status = pclose(pipe);
    std::signal(SIGPIPE, previous);
    // The shell's 127: no such pager; the text is then written plainly.
    return !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
}

} // namespace

bool MayPage(const std::ostream& out) {
    return &out == &std::cout && isatty(STDOUT_FILENO) == 1;
}

void WriteOrPage(const std::string& text, std::ostream& out) {
    if (MayPage(out)) {
        const std::size_t rows = TerminalRows();
        const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        if (rows > 0 && lines >= rows && Paged(text))
            return;
    }
    out << text;
}

} // namespace ltpctl
