#include "record_match.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace ltptest {

std::string Escaped(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return '"' + out + '"';
}

void FieldDiff::Text(const char* name, const char* want, const char* got) {
    if (std::strcmp(want, got) != 0)
        m_text += std::string("\n  ") + name + ": sent " + Escaped(want) + ", got " + Escaped(got);
}

void FieldDiff::Number(const char* name, LONG want, LONG got) {
    if (want != got)
        m_text += std::string("\n  ") + name + ": sent " + std::to_string(want) + ", got " +
                  std::to_string(got);
}

void FieldDiff::Decimal(const char* name, double want, double got, int decimals) {
    // Half a unit of the last written decimal, and the roundings of reading about twenty digits.
    const double tolerance = 0.5 * std::pow(10.0, -decimals) * 1.01 + std::fabs(want) * 1e-14;
    if (!(std::fabs(want - got) <= tolerance)) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "\n  %s: sent %.17g, got %.17g (tolerance %.3g)", name, want,
                      got, tolerance);
        m_text += buf;
    }
}

::testing::AssertionResult FieldDiff::Result() const {
    if (m_text.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "fields differ:" << m_text;
}

#define TEXT_FIELD(f) d.Text(#f, want.f, got.f)
#define NUMBER_FIELD(f) d.Number(#f, want.f, got.f)

::testing::AssertionResult Matches(const tagUser& want, const tagUser& got) {
    FieldDiff d;
    TEXT_FIELD(UserID);
    TEXT_FIELD(Text2);
    TEXT_FIELD(Text3);
    TEXT_FIELD(Text4);
    TEXT_FIELD(Text5);
    TEXT_FIELD(Text6);
    return d.Result();
}

::testing::AssertionResult Matches(const tagGroup& want, const tagGroup& got) {
    FieldDiff d;
    TEXT_FIELD(GroupID);
    TEXT_FIELD(Text2);
    return d.Result();
}

::testing::AssertionResult Matches(const tagProgram& want, const tagProgram& got) {
    FieldDiff d;
    NUMBER_FIELD(ProgramID);
    TEXT_FIELD(Text2);
    TEXT_FIELD(Text3);
    TEXT_FIELD(Text4);
    d.Decimal("Real5", want.Real5, got.Real5, 6);
    NUMBER_FIELD(Number6);
    NUMBER_FIELD(Number7);
    TEXT_FIELD(Text8);
    TEXT_FIELD(Text9);
    TEXT_FIELD(Text10);
    TEXT_FIELD(Text11);
    TEXT_FIELD(Text12);
    TEXT_FIELD(Text13);
    return d.Result();
}

::testing::AssertionResult Matches(const tagChannel& want, const tagChannel& got) {
    FieldDiff d;
    TEXT_FIELD(ChannelID);
    TEXT_FIELD(Text2);
    TEXT_FIELD(Text3);
    return d.Result();
}

::testing::AssertionResult Matches(const tagSchedule& want, const tagSchedule& got) {
    FieldDiff d;
    NUMBER_FIELD(ScheduleID);
    TEXT_FIELD(Text2);
    NUMBER_FIELD(Number3);
    d.Decimal("Real4", want.Real4, got.Real4, 6);
    d.Decimal("Real5", want.Real5, got.Real5, 6);
    NUMBER_FIELD(Number6);
    return d.Result();
}

::testing::AssertionResult Matches(const tagGlobal& want, const tagGlobal& got) {
    FieldDiff d;
    TEXT_FIELD(Key);
    NUMBER_FIELD(Number2);
    TEXT_FIELD(Text3);
    TEXT_FIELD(Text4);
    return d.Result();
}

::testing::AssertionResult Matches(const MTPSVR& want, const MTPSVR& got) {
    FieldDiff d;
    TEXT_FIELD(MTPSvrName);
    TEXT_FIELD(Text2);
    TEXT_FIELD(Text3);
    if (want.Number4 != 0)
        NUMBER_FIELD(Number4);
    NUMBER_FIELD(Number5);
    NUMBER_FIELD(Number6);
    return d.Result();
}

::testing::AssertionResult Matches(const PROGRAMPATH& want, const PROGRAMPATH& got) {
    FieldDiff d;
    NUMBER_FIELD(ProgramID);
    TEXT_FIELD(ProgramPath);
    d.Decimal("Real3", want.Real3, got.Real3, 9);
    d.Decimal("Real4", want.Real4, got.Real4, 9);
    return d.Result();
}

} // namespace ltptest
