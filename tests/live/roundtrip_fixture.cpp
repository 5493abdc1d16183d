#include "roundtrip_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ltptest {
namespace {

constexpr uint64_t kDefaultSeed = 20261207;
constexpr size_t kDefaultCases = 400;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

uint64_t BaseSeed() {
    return EnvNumber("LTPADMIN_ROUNDTRIP_SEED", kDefaultSeed);
}

// FNV-1a: the same on every platform, unlike std::hash.
uint64_t Mix(uint64_t seed, const std::string& text) {
    uint64_t h = 1469598103934665603ull ^ seed;
    for (unsigned char c : text)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

} // namespace

void Put(char* field, size_t width, const std::string& text) {
    ASSERT_LT(text.size(), width);
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), text.size());
}

std::string CodePageName(const ::testing::TestParamInfo<unsigned>& info) {
    return "cp" + std::to_string(info.param);
}

void RoundTripFixture::SetUp() {
    m_previousCodePage = GetACP();
    ASSERT_TRUE(SetProcessACP(CodePage()));
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_seed = Mix(BaseSeed(), std::string(info->name()) + "/" + std::to_string(CodePage()));
    m_fields = std::make_unique<RandomFields>(m_seed, CodePage());
    std::printf("[   SEED   ] LTPADMIN_ROUNDTRIP_SEED=%llu (this test: %llu)\n",
                static_cast<unsigned long long>(BaseSeed()),
                static_cast<unsigned long long>(m_seed));
    m_server = std::make_unique<LtpdThread>(CodePage());
    std::string error;
    ASSERT_TRUE(m_server->Start(error)) << error;
    ASSERT_TRUE(m_server->LogIn(m_admin));
}

void RoundTripFixture::TearDown() {
    std::printf("[  CASES   ] %zu round-trip cases, %zu of them refused before sending\n", m_cases,
                m_refused);
    ::testing::Test::RecordProperty("roundtrip_cases", static_cast<int>(m_cases));
    m_admin.LogOut();
    if (m_server)
        m_server->Stop();
    SetProcessACP(m_previousCodePage);
}

size_t RoundTripFixture::Cases() const {
    return static_cast<size_t>(EnvNumber("LTPADMIN_ROUNDTRIP_CASES", kDefaultCases));
}

void RoundTripFixture::Count(bool refused) {
    ++m_cases;
    if (refused)
        ++m_refused;
}

LONG RoundTripFixture::Served() {
    tagSysInfo info{};
    EXPECT_EQ(m_admin.GetSysInfo(&info), 1) << "GetLastError " << LastError();
    return info.Number3;
}

::testing::AssertionResult RoundTripFixture::Succeeded(int result) {
    if (result == 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "returned " << result << ", GetLastError " << LastError() << ", reason \""
           << static_cast<const char*>(m_admin.GetErrorDescription()) << "\"";
}

::testing::AssertionResult RoundTripFixture::RefusedUnsent(int result, LONG servedBefore) {
    if (result != 0)
        return ::testing::AssertionFailure() << "an uncarriable text was accepted";
    if (LastError() != LTP_ERROR_UNSENDABLE)
        return ::testing::AssertionFailure() << "GetLastError " << LastError() << ", not -8";
    const LONG served = Served();
    if (served != servedBefore + 1)
        return ::testing::AssertionFailure()
               << "the server answered " << served - servedBefore - 1 << " requests meanwhile";
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RoundTripFixture::RefusedByServer(int result) {
    if (result == 0 && LastError() == LTP_ERROR_NONE)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "returned " << result << ", GetLastError " << LastError();
}

std::string RoundTripFixture::FreshKey(size_t width, const std::set<std::string>& live) {
    for (;;) {
        std::string key = Fields().Key(width);
        if (!live.count(key))
            return key;
    }
}

} // namespace ltptest
