// Field-by-field comparison of the records a test sent with the records the server gave back.
// Decimals are compared within what their wire format keeps: six decimals for "%f" fields, nine
// for "%.9f" fields, plus the rounding of reading them back digit by digit.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "ltpadmin/ltpadmin.h"

namespace ltptest {

// A text as C-escaped bytes, for failure messages.
std::string Escaped(const std::string& bytes);

// Collects the differences of one record; empty when the records agree.
class FieldDiff {
public:
    void Text(const char* name, const char* want, const char* got);
    void Number(const char* name, LONG want, LONG got);
    void Decimal(const char* name, double want, double got, int decimals);
    ::testing::AssertionResult Result() const;

private:
    std::string m_text;
};

::testing::AssertionResult Matches(const tagUser& want, const tagUser& got);
::testing::AssertionResult Matches(const tagGroup& want, const tagGroup& got);
// The identifier is compared too: the caller puts the server's into want.
::testing::AssertionResult Matches(const tagProgram& want, const tagProgram& got);
::testing::AssertionResult Matches(const tagChannel& want, const tagChannel& got);
::testing::AssertionResult Matches(const tagSchedule& want, const tagSchedule& got);
::testing::AssertionResult Matches(const tagGlobal& want, const tagGlobal& got);
// Number4 is the server's registration number, not sent: compared only when want holds one.
::testing::AssertionResult Matches(const MTPSVR& want, const MTPSVR& got);
::testing::AssertionResult Matches(const PROGRAMPATH& want, const PROGRAMPATH& got);

} // namespace ltptest
