#include "tools/ltpctl/input_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <iterator>

namespace ltpctl {

bool OpenInputFile(const std::string& path, std::ifstream& in, std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    // A folder opens as a stream on Linux and then reads as nothing, or throws.
    if (S_ISDIR(st.st_mode)) {
        error = "cannot read '" + path + "': it is a folder";
        return false;
    }
    in.open(path, std::ios::binary);
    if (!in) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}

bool ReadInputFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in;
    if (!OpenInputFile(path, in, error))
        return false;
    try {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        in.setstate(std::ios::badbit);
    }
    if (in.bad()) {
        error = "cannot read '" + path + "' to its end";
        return false;
    }
    return true;
}

} // namespace ltpctl
