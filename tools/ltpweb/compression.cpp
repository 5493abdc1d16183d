#include "tools/ltpweb/compression.h"

#include <cstdlib>
#include <sstream>

#include <zlib.h>

namespace ltpweb {

bool AcceptsGzip(const HttpRequest& request) {
    std::istringstream codings(request.Header("Accept-Encoding"));
    std::string part;
    while (std::getline(codings, part, ',')) {
        auto start = part.find_first_not_of(' ');
        if (start == std::string::npos)
            continue;
        auto semicolon = part.find(';', start);
        std::string coding = part.substr(start, semicolon - start);
        while (!coding.empty() && coding.back() == ' ')
            coding.pop_back();
        if (coding != "gzip")
            continue;
        auto q = part.find("q=", semicolon == std::string::npos ? part.size() : semicolon);
        return q == std::string::npos || std::strtod(part.c_str() + q + 2, nullptr) > 0;
    }
    return false;
}

std::string Gzip(const std::string& text) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    int done = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return done == Z_STREAM_END ? out : std::string();
}

} // namespace ltpweb
