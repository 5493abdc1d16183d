// Which bytes open a double-byte character in the code page of the texts the server carries.
// Field splitting steps over whole characters, as the library does, so that a trail byte with the
// value of "|" stays inside its text.
#pragma once

#include <array>
#include <cstdint>

namespace ltpd {

class CodePage {
public:
    // Single-byte: no byte is a lead byte.
    CodePage() { m_lead.fill(false); }
    // The code page's lead bytes; false for a code page the platform layer does not know.
    bool Select(unsigned codePage);

    bool IsLead(unsigned char byte) const { return m_lead[byte]; }
    unsigned Number() const { return m_number; }

private:
    std::array<bool, 256> m_lead;
    unsigned m_number = 1252;
};

} // namespace ltpd
