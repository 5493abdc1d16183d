#include "tools/ltpweb/static_files.h"

#include <filesystem>
#include <fstream>
#include <vector>
#include <sstream>

#include <openssl/sha.h>

#include "tools/ltpweb/compression.h"

namespace ltpweb {
namespace {

bool ReadFile(const std::string& file, std::string& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    out = text.str();
    return true;
}

std::string Hex(const unsigned char* bytes, std::size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

// "/js/" and a name of lower-case letters and '_' ending in ".js".
bool ModulePath(const std::string& path) {
    const std::string prefix = "/js/", suffix = ".js";
    if (path.size() <= prefix.size() + suffix.size() ||
        path.compare(0, prefix.size(), prefix) != 0 ||
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    for (std::size_t i = prefix.size(); i < path.size() - suffix.size(); ++i)
        if (!((path[i] >= 'a' && path[i] <= 'z') || path[i] == '_'))
            return false;
    return true;
}

} // namespace

StaticFiles::StaticFiles(const std::string& assetDir, const std::string& chartJs) {
    const struct {
        const char* path;
        const char* type;
        std::string file;
    } files[] = {
        {"/", "text/html; charset=utf-8", assetDir + "/index.html"},
        {"/app.js", "text/javascript; charset=utf-8", assetDir + "/app.js"},
        {"/app.css", "text/css; charset=utf-8", assetDir + "/app.css"},
        {"/chart.js", "text/javascript; charset=utf-8", chartJs},
    };
    struct Source {
        std::string path;
        const char* type;
        std::string file;
    };
    std::vector<Source> sources;
    for (const auto& f : files)
        sources.push_back({f.path, f.type, f.file});
    // The page's modules, under plain names only, so that no path can leave the folder.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(assetDir + "/js", ignored)) {
        const std::string name = entry.path().filename().string();
        if (ModulePath("/js/" + name))
            sources.push_back(
                {"/js/" + name, "text/javascript; charset=utf-8", entry.path().string()});
    }
    for (const auto& f : sources) {
        File out{f.type, {}, {}, {}};
        if (!ReadFile(f.file, out.text))
            continue;
        out.gzip = Gzip(out.text);
        unsigned char digest[SHA256_DIGEST_LENGTH];
        SHA256(reinterpret_cast<const unsigned char*>(out.text.data()), out.text.size(), digest);
        out.etag = "\"" + Hex(digest, 12) + "\"";
        m_files[f.path] = std::move(out);
    }
}

bool StaticFiles::Serves(const std::string& path) {
    return path == "/" || path == "/app.js" || path == "/app.css" || path == "/chart.js" ||
           ModulePath(path);
}

HttpResponse StaticFiles::Answer(const HttpRequest& request, const std::string& path) const {
    const File& file = m_files.at(path);
    HttpResponse r;
    // Kept by the browser and checked again on each use: an upgrade is seen at once, and an
    // unchanged file costs a 304 without a body.
    r.headers = {{"Cache-Control", "no-cache"}, {"ETag", file.etag}, {"Vary", "Accept-Encoding"}};
    std::istringstream tags(request.Header("If-None-Match"));
    std::string tag;
    while (std::getline(tags, tag, ',')) {
        auto start = tag.find_first_not_of(' ');
        if (start != std::string::npos && tag.compare(start, std::string::npos, file.etag) == 0) {
            r.status = 304;
            return r;
        }
    }
    r.headers.emplace_back("Content-Type", file.type);
    if (!file.gzip.empty() && AcceptsGzip(request)) {
        r.headers.emplace_back("Content-Encoding", "gzip");
        r.body = file.gzip;
    } else {
        r.body = file.text;
    }
    return r;
}

} // namespace ltpweb
