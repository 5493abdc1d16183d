// The page's files: read and gzip-compressed once at start, answered with an ETag and
// "Cache-Control: no-cache" so that the browser keeps them and asks only whether they changed.
#pragma once

#include <map>
#include <string>

#include "tools/ltpweb/http_server.h"

namespace ltpweb {

class StaticFiles {
public:
    // index.html, app.js, app.css and the modules in js/ from assetDir, and the chart library. A
    // file missing now is missing until ltpweb restarts.
    StaticFiles(const std::string& assetDir, const std::string& chartJs);

    // True for the paths of the page's files, whether or not they could be read.
    static bool Serves(const std::string& path);
    // True when the file of that path was read.
    bool Has(const std::string& path) const { return m_files.count(path) != 0; }
    // The file of a path it has, as this request takes it: 304 when the browser holds it, gzip when
    // accepted.
    HttpResponse Answer(const HttpRequest& request, const std::string& path) const;

private:
    struct File {
        std::string type;
        std::string text;
        std::string gzip;
        std::string etag;
    };
    std::map<std::string, File> m_files; // by path
};

} // namespace ltpweb
