#include "tools/ltpctl/password_prompt.h"

#include <termios.h>
#include <unistd.h>

#include <cstdio>

namespace ltpctl {

bool InputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

std::string ReadPasswordLine(std::istream& in, const char* prompt) {
    termios saved{};
    const bool terminal = InputIsTerminal() && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        // Echo goes off before the prompt shows, so nothing typed after it can show.
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL; // the newline still shows, so the next output starts a line
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::fputs(prompt, stderr);
        std::fflush(stderr);
    }
    std::string line;
    std::getline(in, line);
    if (terminal)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace ltpctl
