// ltpctl: administer an LTP/1.0 server from the shell.
#include <iostream>

#include "tools/ltpctl/app.h"

int main(int argc, char** argv) {
    return ltpctl::RunLtpctl(argc, argv, std::cin, std::cout, std::cerr);
}
