// gzip for answers: whether the client takes it, and the compressed bytes.
#pragma once

#include <string>

#include "tools/ltpweb/http_server.h"

namespace ltpweb {

// True when Accept-Encoding names gzip with a weight above 0.
bool AcceptsGzip(const HttpRequest& request);

// The text as a gzip member; "" when zlib fails (the caller then sends the text as it is).
std::string Gzip(const std::string& text);

} // namespace ltpweb
