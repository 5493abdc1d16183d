// The socket layer's error codes (WSAE...) for the system's errno values.
#pragma once

namespace ltpadmin_platform {

// WSAEINVAL for a value without a closer code.
int WsaError(int e);

} // namespace ltpadmin_platform
