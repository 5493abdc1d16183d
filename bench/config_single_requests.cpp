// The baseline of bench/config_scale: the adds that apply makes for N users and M programs, sent
// one by one through ltp::Client, with nothing read first. Prints the seconds taken.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <ltpadmin/client.h>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s PORT PASSWORD USERS PROGRAMS\n", argv[0]);
        return 2;
    }
    ltp::Options options;
    options.port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    options.user = "admin";
    options.password = argv[2];
    const int users = std::atoi(argv[3]);
    const int programs = std::atoi(argv[4]);
    ltp::Client client(options);
    const auto start = std::chrono::steady_clock::now();
    try {
        for (int u = 0; u < users; ++u) {
            ltp::User user;
            user.user_id = "user" + std::to_string(u);
            user.text2 = "User number " + std::to_string(u);
            client.add_user(user);
        }
        for (int p = 0; p < programs; ++p) {
            ltp::Program program;
            program.text2 = "Program " + std::to_string(p);
            program.real5 = 45;
            client.add_program(program);
        }
    } catch (const ltp::Error& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%.3f\n", took.count());
    return 0;
}
