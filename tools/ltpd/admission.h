// Who gets a seat: connections at once from one address and overall, and which connection makes
// room when a newcomer finds them taken. Addresses named as trusted gateways (a web console
// serving many people from one address) are not capped per address.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "tools/ltpd/connection.h"

namespace ltpd {

// The address as the server names its peers (IPv4 dotted, IPv6 shortest form); false for text
// that is no numeric address.
bool CanonicalAddress(const std::string& text, std::string& canonical);

class Admission {
public:
    // trustedGateways: canonical addresses (CanonicalAddress).
    Admission(size_t maxConnections, size_t maxPerAddress,
              const std::vector<std::string>& trustedGateways);

    bool Trusted(const std::string& address) const;

    struct Verdict {
        bool refuse = false;            // the newcomer is closed at once
        std::vector<Connection*> evict; // closed first to make room for it
    };
    // For a newcomer from address: an address at its cap gives up its connection idle longest
    // (refused when none is idle: a guesser's held answers are no room); a full server gives up
    // the connection idle longest of all, so that silent sockets cannot lock real clients out.
    Verdict Admit(const std::string& address,
                  const std::vector<std::unique_ptr<Connection>>& open) const;

    void Opened(const std::string& address);
    void Closed(const std::string& address);
    size_t Open() const { return m_open; }

private:
    size_t m_maxConnections;
    size_t m_maxPerAddress;
    std::unordered_set<std::string> m_trusted;
    std::unordered_map<std::string, size_t> m_perAddress;
    size_t m_open = 0;
};

} // namespace ltpd
