#include "random_fields.h"

#include <cmath>
#include <limits>
#include <vector>

#include "ltpadmin/platform/codepage.h"

namespace ltptest {

bool IsCarriable(const std::string& text, unsigned codePage) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n' || c == '|' || c == '<' || c == 0)
            return false;
        if (IsDBCSLeadByteEx(codePage, c)) {
            if (i + 1 >= text.size())
                return false;
            const unsigned char trail = static_cast<unsigned char>(text[++i]);
            if (trail == '\r' || trail == '\n' || trail == 0)
                return false;
        }
    }
    return true;
}

RandomFields::RandomFields(uint64_t seed, unsigned codePage)
    : m_engine(seed), m_codePage(codePage) {
    for (unsigned b = 0x80; b < 0x100; ++b) {
        if (IsDBCSLeadByteEx(codePage, static_cast<BYTE>(b)))
            m_leadBytes += static_cast<char>(b);
        else
            m_highSingle += static_cast<char>(b);
    }
}

bool RandomFields::Chance(double probability) {
    return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine) < probability;
}

size_t RandomFields::Below(size_t bound) {
    return std::uniform_int_distribution<size_t>(0, bound - 1)(m_engine);
}

std::string RandomFields::Character(size_t room) {
    const size_t kind = Below(100);
    if (kind < 30 && room >= 2 && !m_leadBytes.empty()) {
        // Trail bytes of the double-byte pages lie in 0x40..0xFC (0x7F excepted); "|" (0x7C) is
        // one of them and comes often, since it must not split a field.
        std::string c(1, m_leadBytes[Below(m_leadBytes.size())]);
        unsigned trail = '|';
        if (!Chance(0.35)) {
            do
                trail = 0x40 + static_cast<unsigned>(Below(0xFD - 0x40));
            while (trail == 0x7F);
        }
        c += static_cast<char>(trail);
        return c;
    }
    if (kind < 38 && !m_highSingle.empty())
        return std::string(1, m_highSingle[Below(m_highSingle.size())]);
    if (kind < 41) {
        char c;
        do
            c = static_cast<char>(1 + Below(0x1F));
        while (c == '\r' || c == '\n');
        return std::string(1, c);
    }
    if (kind < 46)
        return std::string(1, " >/&\"'\\%"[Below(8)]);
    char c;
    do
        c = static_cast<char>(0x20 + Below(0x7F - 0x20));
    while (c == '|' || c == '<');
    return std::string(1, c);
}

std::string RandomFields::TextOfLength(size_t length) {
    std::string text;
    while (text.size() < length)
        text += Character(length - text.size());
    return text;
}

std::string RandomFields::Text(size_t width, bool allowEmpty) {
    const size_t longest = width - 1;
    const size_t shape = Below(100);
    if (allowEmpty && shape < 15)
        return std::string();
    if (shape < 40)
        return TextOfLength(longest);
    if (shape < 60)
        return TextOfLength(1 + Below(std::min<size_t>(longest, 8)));
    return TextOfLength(1 + Below(longest));
}

std::string RandomFields::Uncarriable(size_t width) {
    // Whole characters, so that the defect lands where a character starts.
    std::string text = TextOfLength(Below(width - 1));
    std::string defect;
    const size_t kind = Below(m_leadBytes.empty() ? 4 : 5);
    if (kind == 4) {
        // A lead byte alone at the end would take the next delimiter as its trail byte.
        return text + m_leadBytes[Below(m_leadBytes.size())];
    }
    defect = std::string(1, "|<\r\n"[kind]);
    // Characters are 1 or 2 bytes; find the starts by walking the text as the library does.
    std::vector<size_t> starts;
    for (size_t i = 0; i <= text.size(); ++i) {
        starts.push_back(i);
        if (i < text.size() && IsDBCSLeadByteEx(m_codePage, static_cast<BYTE>(text[i])))
            ++i;
    }
    text.insert(starts[Below(starts.size())], defect);
    if (text.size() > width - 1) {
        // Drop whole characters from the end until it fits again, keeping the defect.
        const size_t at = text.find(defect);
        std::string kept = text.substr(0, at + 1);
        text = kept.size() <= width - 1 ? kept : defect;
    }
    return text;
}

std::string RandomFields::Bytes(size_t maxLength) {
    std::string text(Below(maxLength + 1), '\0');
    for (char& c : text)
        c = static_cast<char>(1 + Below(255));
    return text;
}

LONG RandomFields::Number() {
    static const LONG kSpecial[] = {
        0,   1,     -1,    std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max(),
        255, 65535, -65536};
    const size_t shape = Below(10);
    if (shape < 2)
        return kSpecial[Below(sizeof kSpecial / sizeof kSpecial[0])];
    if (shape < 5)
        return static_cast<LONG>(Below(1000));
    return static_cast<LONG>(static_cast<uint32_t>(m_engine()));
}

double RandomFields::Decimal() {
    switch (Below(7)) {
        case 0:
            return 0.0;
        case 1:
            return static_cast<double>(Below(100000));
        case 2:
            return static_cast<double>(Below(1u << 30)) / 1024.0;
        case 3: // a date: days since 1899-12-30 with the time of day as fraction
            return 36526.0 + std::uniform_real_distribution<double>(0.0, 40000.0)(m_engine);
        case 4:
            return std::uniform_real_distribution<double>(0.0, 1e-6)(m_engine);
        case 5:
            return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine);
        default:
            return std::ldexp(std::uniform_real_distribution<double>(0.0, 1.0)(m_engine),
                              static_cast<int>(Below(30)));
    }
}

} // namespace ltptest
