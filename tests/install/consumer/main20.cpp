// A C++20 consumer: the package's flags must not take its standard away.
#include <ltpadmin/ltpadmin.h>

#include <span>

int main() {
    tagUser users[2] = {};
    std::span<tagUser> all(users);
    return all.size() == 2 ? 0 : 1;
}
