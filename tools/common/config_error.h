// A configuration file (profile, labels, password file) that cannot be used: the message names the
// file and what is wrong, so that it can be shown as it is.
#pragma once

#include <stdexcept>
#include <string>

namespace ltptools {

class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace ltptools
