#include <ltpadmin/ltpadmin.h>

#include <cstdio>

int main() {
    CLTPCreater admin;
    admin.SetServerAddressPort(inet_addr("127.0.0.1"), 120);
    CList<tagUser*, tagUser*> users;
    // Never logged in: the operation cannot get an answer, and says so.
    std::printf("users %d, last error %lu\n", users.GetCount(),
                static_cast<unsigned long>(admin.GetLastError()));
    return users.IsEmpty() ? 0 : 1;
}
