// Named connection profiles, so that people need not repeat host, port and user on every command.
// They live in $XDG_CONFIG_HOME/ltpctl/config.toml (~/.config/ltpctl/config.toml without it):
//
//     default = "studio"               # the profile used when none is named
//     [profiles.studio]
//     host = "ltp.example.net"         # a name, IPv4 or IPv6 address; "host:port" and
//     port = 4711                      #   "[v6]:port" are accepted too
//     user = "admin"
//     code_page = 1252
//     request_timeout = 10             # seconds a request may stay idle ("timeout" too)
//     labels_file = "labels.toml"      # field labels, relative to this file's folder ("labels")
//     password_file = "studio.password" # readable by its owner only
//
// Command-line flags and the environment win over a profile.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace ltptools {

struct Profile {
    std::string name; // empty when no profile applies
    std::optional<std::string> host;
    std::optional<int> port;
    std::optional<std::string> user;
    std::optional<unsigned> code_page;
    std::optional<std::chrono::milliseconds> timeout;
    std::optional<std::string> labels_file;   // absolute
    std::optional<std::string> password_file; // absolute
};

// $XDG_CONFIG_HOME/ltpctl/config.toml, or ~/.config/ltpctl/config.toml; empty when neither
// variable is set.
std::string DefaultConfigPath();

// The profile called name from the file at path. An empty name takes the file's "default"
// profile, and no profile at all when the file names none or does not exist. A named profile that
// is missing, or a file that does not parse, throws ConfigError.
Profile LoadProfile(const std::string& path, const std::string& name);

// The first line of a password file. Refuses (ConfigError) a file that its group or others may
// read or write, or that is not a regular file, as a password lying open is no secret.
std::string ReadPasswordFile(const std::string& path);

// A host as people write it, split into address and port: "name", "192.0.2.1", "::1",
// "name:4711", "[::1]:4711". port is left as it was when the text holds none. False, with error
// set, for a port that is not a number from 1 to 65535 or an unclosed bracket. host may be the
// very string given.
bool SplitHostPort(const std::string& given, std::string& host, int& port, std::string& error);

} // namespace ltptools
