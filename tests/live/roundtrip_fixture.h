// What the round-trip tests share: an in-process ltpd under the test's code page, one logged-in
// administrator, a seeded source of random fields, and the checks of an operation's outcome.
//
// The seed is fixed so that CI is repeatable; LTPADMIN_ROUNDTRIP_SEED picks another and
// LTPADMIN_ROUNDTRIP_CASES the number of cases per test, for exploring locally. Every test
// prints the seed it derived and the cases it tried.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "ltpd_thread.h"
#include "random_fields.h"

namespace ltptest {

// Copies text into a char[width] field, zero-filling the rest.
void Put(char* field, size_t width, const std::string& text);

// The parameter is the code page of the client and of the server.
class RoundTripFixture : public ::testing::TestWithParam<unsigned> {
protected:
    void SetUp() override;
    void TearDown() override;

    unsigned CodePage() const { return GetParam(); }
    RandomFields& Fields() { return *m_fields; }
    size_t Cases() const;
    uint64_t Seed() const { return m_seed; }
    // Counts one case tried; refused: it was refused before sending.
    void Count(bool refused = false);

    LONG LastError() const { return static_cast<LONG>(m_admin.GetLastError()); }
    // Requests the server has answered so far, this one included.
    LONG Served();

    // The operation succeeded; otherwise says how it failed.
    ::testing::AssertionResult Succeeded(int result);
    // The operation gave up with -8 and the server saw nothing of it.
    ::testing::AssertionResult RefusedUnsent(int result, LONG servedBefore);
    // The request was sent and the server answered with a status other than 200.
    ::testing::AssertionResult RefusedByServer(int result);

    // A key that is not in live (keys compare as bytes on both sides).
    std::string FreshKey(size_t width, const std::set<std::string>& live);

    CLTPCreater m_admin;

private:
    std::unique_ptr<LtpdThread> m_server;
    std::unique_ptr<RandomFields> m_fields;
    uint64_t m_seed = 0;
    UINT m_previousCodePage = 1252;
    size_t m_cases = 0;
    size_t m_refused = 0;
};

// Names the instantiations after their code page: cp1252, cp936.
std::string CodePageName(const ::testing::TestParamInfo<unsigned>& info);

} // namespace ltptest
