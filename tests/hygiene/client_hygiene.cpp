// A program with its own names for what the Windows-shaped headers define, and the macros X11
// defines, includes the modern interface: it must compile and link.
#define None 0L
#define Status int
#define Bool int
#define TRUE 1
#define FALSE 0
#define INFINITE (-1)

struct CString {
    const char* text;
};
typedef unsigned long long DWORD;
typedef int BOOL;
typedef long SOCKET;
struct POINT {
    double x, y, z;
};
inline long GetTickCount() {
    return 7;
}

#include <ltpadmin/client.h>

int main() {
    const CString own{"own"};
    const POINT point{1, 2, 3};
    const DWORD word = 1;
    const SOCKET socket = 2;
    const BOOL ok = TRUE;
    Status status = None;
    Bool flag = FALSE;
    ltp::Options options;
    options.port = 1;
    ltp::Client client(options);
    const bool sane = own.text[0] == 'o' && point.z == 3 && word + socket == 3 && ok &&
                      status == 0 && !flag && GetTickCount() == 7 && !client.connected() &&
                      ltp::fields<ltp::User>().size() == 6 && INFINITE < 0;
    return sane ? 0 : 1;
}
