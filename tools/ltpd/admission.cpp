#include "tools/ltpd/admission.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace ltpd {
namespace {

// An IPv4 client of a server listening on an IPv6 address shows as ::ffff:a.b.c.d.
std::string WithoutV4Mapping(const std::string& address) {
    const std::string prefix = "::ffff:";
    if (address.rfind(prefix, 0) == 0 && address.find('.') != std::string::npos)
        return address.substr(prefix.size());
    return address;
}

} // namespace

bool CanonicalAddress(const std::string& text, std::string& canonical) {
    char out[INET6_ADDRSTRLEN];
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1) {
        canonical = inet_ntop(AF_INET, &v4, out, sizeof out);
        return true;
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, text.c_str(), &v6) == 1) {
        canonical = WithoutV4Mapping(inet_ntop(AF_INET6, &v6, out, sizeof out));
        return true;
    }
    return false;
}

Admission::Admission(size_t maxConnections, size_t maxPerAddress,
                     const std::vector<std::string>& trustedGateways)
    : m_maxConnections(maxConnections), m_maxPerAddress(maxPerAddress),
      m_trusted(trustedGateways.begin(), trustedGateways.end()) {}

bool Admission::Trusted(const std::string& address) const {
    return !m_trusted.empty() && m_trusted.count(WithoutV4Mapping(address)) > 0;
}

Admission::Verdict Admission::Admit(const std::string& address,
                                    const std::vector<std::unique_ptr<Connection>>& open) const {
    Verdict verdict;
    size_t seated = m_open;
    auto known = m_perAddress.find(address);
    if (known != m_perAddress.end() && known->second >= m_maxPerAddress && !Trusted(address)) {
        Connection* oldest = nullptr;
        for (const auto& c : open)
            if (c->address == address && c->Idle() &&
                (!oldest || c->lastActivity < oldest->lastActivity))
                oldest = c.get();
        if (!oldest) {
            verdict.refuse = true;
            return verdict;
        }
        verdict.evict.push_back(oldest);
        --seated;
    }
    if (seated >= m_maxConnections) {
        Connection* idlest = nullptr;
        for (const auto& c : open)
            if (!c->closed && (verdict.evict.empty() || c.get() != verdict.evict.front()) &&
                (!idlest || c->lastActivity < idlest->lastActivity))
                idlest = c.get();
        if (idlest)
            verdict.evict.push_back(idlest);
    }
    return verdict;
}

void Admission::Opened(const std::string& address) {
    ++m_perAddress[address];
    ++m_open;
}

void Admission::Closed(const std::string& address) {
    auto it = m_perAddress.find(address);
    if (it != m_perAddress.end() && --it->second == 0)
        m_perAddress.erase(it);
    --m_open;
}

} // namespace ltpd
