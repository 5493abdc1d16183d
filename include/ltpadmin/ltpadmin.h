// ltpadmin: client library for administering an LTP/1.0 server.
// A caller includes this header alone: the session, the administrator class, the record types and
// the platform pieces (strings, lists, window messages) that the interface uses.
#pragma once

#include "ltpadmin/platform/platform.h"
#include "ltpadmin/transport/server_admin.h"
#include "ltpadmin/protocol/records.h"
#include "ltpadmin/admin/ltp_creater.h"
