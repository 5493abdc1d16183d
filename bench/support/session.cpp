#include "support/session.h"

#include "support/responses.h"

namespace ltpbench {

bool StartSession(CLTPCreater& admin, unsigned short port) {
    admin.SetServerAddressPort(inet_addr("127.0.0.1"), port);
    if (!admin.LogIn("127.0.0.1", kUserName, kPassword))
        return false;
    return admin.ClearLogEvents() == 1;
}

} // namespace ltpbench
