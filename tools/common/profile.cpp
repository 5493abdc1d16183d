#include "tools/common/profile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <toml++/toml.h>

#include "tools/common/config_error.h"

namespace ltptools {
namespace {

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// "~/x" from $HOME; relative paths from the folder of the file that names them.
std::string Resolve(const std::string& path, const std::string& base) {
    if (path.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        return std::string(home ? home : "") + path.substr(1);
    }
    if (!path.empty() && path[0] == '/')
        return path;
    return Folder(base) + "/" + path;
}

template <class T>
std::optional<T> Read(const toml::table& t, const char* key, const std::string& where) {
    const toml::node* node = t.get(key);
    if (!node)
        return std::nullopt;
    std::optional<T> value = node->value_exact<T>();
    if (!value)
        throw ConfigError(where + ": '" + key + "' has the wrong type");
    return value;
}

} // namespace

std::string DefaultConfigPath() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::string(xdg) + "/ltpctl/config.toml";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/ltpctl/config.toml";
    return std::string();
}

Profile LoadProfile(const std::string& path, const std::string& name) {
    Profile profile;
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        if (!name.empty())
            throw ConfigError(
                "no profile '" + name + "': " +
                (path.empty() ? std::string("no configuration file") : path + " does not exist"));
        return profile;
    }
    toml::table doc;
    try {
        doc = toml::parse_file(path);
    } catch (const toml::parse_error& e) {
        throw ConfigError(path + ": " + std::string(e.description()));
    }
    std::string chosen = name;
    if (chosen.empty()) {
        const std::optional<std::string> fallback = Read<std::string>(doc, "default", path);
        if (!fallback)
            return profile;
        chosen = *fallback;
    }
    const toml::table* profiles = doc["profiles"].as_table();
    const toml::table* t = profiles ? (*profiles)[chosen].as_table() : nullptr;
    if (!t)
        throw ConfigError(path + ": there is no profile '" + chosen + "'");
    const std::string where = path + ", profile '" + chosen + "'";
    for (const auto& [key, value] : *t) {
        // timeout and labels are the earlier names of request_timeout and labels_file.
        static const char* const kKnown[] = {"host",      "port",        "user",
                                             "code_page", "timeout",     "request_timeout",
                                             "labels",    "labels_file", "password_file"};
        bool known = false;
        for (const char* k : kKnown)
            known = known || key.str() == k;
        if (!known)
            throw ConfigError(where + ": unknown setting '" + std::string(key.str()) + "'");
    }
    profile.name = chosen;
    profile.host = Read<std::string>(*t, "host", where);
    if (const auto port = Read<int64_t>(*t, "port", where)) {
        if (*port < 1 || *port > 65535)
            throw ConfigError(where + ": port must be from 1 to 65535");
        profile.port = static_cast<int>(*port);
    }
    profile.user = Read<std::string>(*t, "user", where);
    if (const auto cp = Read<int64_t>(*t, "code_page", where)) {
        if (*cp < 1 || *cp > 65535)
            throw ConfigError(where + ": code_page is not a code page");
        profile.code_page = static_cast<unsigned>(*cp);
    }
    const auto newer = [&](const char* setting, const char* earlier) {
        if (t->get(setting) && t->get(earlier))
            throw ConfigError(where + ": " + earlier + " is the earlier name of " + setting +
                              "; give one of them");
        return t->get(setting) ? setting : earlier;
    };
    const char* timeoutKey = newer("request_timeout", "timeout");
    if (const toml::node* timeout = t->get(timeoutKey)) {
        const std::optional<double> seconds = timeout->value<double>();
        if (!seconds || !(*seconds > 0) || *seconds > 86400)
            throw ConfigError(where + ": " + timeoutKey + " must be a number of seconds above 0");
        profile.timeout = std::chrono::milliseconds(static_cast<long long>(*seconds * 1000));
    }
    if (const auto labels = Read<std::string>(*t, newer("labels_file", "labels"), where))
        profile.labels_file = Resolve(*labels, path);
    if (const auto file = Read<std::string>(*t, "password_file", where))
        profile.password_file = Resolve(*file, path);
    return profile;
}

std::string ReadPasswordFile(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        throw ConfigError("password file " + path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        throw ConfigError("password file " + path + " is not a regular file");
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        throw ConfigError("password file " + path +
                          " may be read or changed by others; allow its owner only (chmod 600)");
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!in || (!std::getline(in, line) && !in.eof()))
        throw ConfigError("password file " + path + " cannot be read");
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

bool SplitHostPort(const std::string& given, std::string& host, int& port, std::string& error) {
    const std::string text = given; // host may be the same string as given
    std::string portText;
    if (!text.empty() && text[0] == '[') {
        const size_t close = text.find(']');
        if (close == std::string::npos) {
            error = "'" + text + "': the '[' of the address is not closed";
            return false;
        }
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') {
                error = "'" + text + "': only ':PORT' may follow the bracketed address";
                return false;
            }
            portText = text.substr(close + 2);
            if (portText.empty()) {
                error = "'" + text + "': the port is missing after ':'";
                return false;
            }
        }
    } else {
        const size_t colon = text.find(':');
        // One colon: name:port. Several: an IPv6 address without a port.
        if (colon != std::string::npos && text.find(':', colon + 1) == std::string::npos) {
            host = text.substr(0, colon);
            portText = text.substr(colon + 1);
            if (portText.empty()) {
                error = "'" + text + "': the port is missing after ':'";
                return false;
            }
        } else {
            host = text;
        }
    }
    if (host.empty()) {
        error = "'" + text + "' names no host";
        return false;
    }
    if (!portText.empty()) {
        long value = 0;
        for (const char c : portText) {
            if (c < '0' || c > '9' || value > 65535) {
                value = -1;
                break;
            }
            value = value * 10 + (c - '0');
        }
        if (value < 1 || value > 65535) {
            error = "'" + text + "': the port must be a number from 1 to 65535";
            return false;
        }
        port = static_cast<int>(value);
    }
    return true;
}

} // namespace ltptools
