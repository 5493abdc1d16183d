// Random field values for tests against a live server: texts that fit a record's char[width]
// field (double-byte characters under a double-byte code page, with "|" as trail byte), texts the
// protocol cannot carry, whole numbers and decimals. One seed gives one sequence.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>

#include "ltpadmin/platform/win32_types.h"

namespace ltptest {

// Whether a key or field text can go inside an element: no line end, and no "|" or "<" where a
// character starts under the code page, and no lead byte that lacks its trail byte.
bool IsCarriable(const std::string& text, unsigned codePage);

class RandomFields {
public:
    RandomFields(uint64_t seed, unsigned codePage);

    // A carriable text of at most width - 1 bytes: empty (when allowed), the longest that fits,
    // or any length between. A double-byte character is never cut at the end.
    std::string Text(size_t width, bool allowEmpty = true);
    // A carriable text of at least one byte, for keys.
    std::string Key(size_t width) { return Text(width, false); }
    // A text of at most width - 1 bytes that is not carriable: a line end, "|" or "<" where a
    // character starts, or (under a double-byte code page) a lead byte alone at the end.
    std::string Uncarriable(size_t width);
    // Any byte but zero, any length up to maxLength: free text, carried as it is.
    std::string Bytes(size_t maxLength);

    // Any 32-bit value; zero, the extremes and small values come often.
    LONG Number();
    // A non-negative decimal up to about 1e9: whole, binary fractions, dates, tiny, arbitrary.
    double Decimal();

    bool Chance(double probability);
    size_t Below(size_t bound); // 0 .. bound - 1; bound > 0
    uint64_t Next() { return m_engine(); }

private:
    // One character of at most room bytes (room >= 1), carriable unless it is a line end.
    std::string Character(size_t room);
    std::string TextOfLength(size_t length);

    std::mt19937_64 m_engine;
    unsigned m_codePage;
    std::string m_leadBytes;  // the code page's lead bytes
    std::string m_highSingle; // bytes from 0x80 up that stand alone in the code page
};

} // namespace ltptest
