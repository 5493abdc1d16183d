// The fixture of the end-to-end tests: a seeded ltpd per test and shorthands to run ltpctl.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "support/ltpd_server.h"

namespace e2e {

class WithServer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Start()) << server.Log(); }

    ProcessResult Run(const std::vector<std::string>& args, const std::string& input = "") {
        return Ctl(server, args, input);
    }

    // Runs the command with --format json; fails the test unless it succeeded.
    nlohmann::json Json(std::vector<std::string> args) {
        args.insert(args.begin(), {"--format", "json"});
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << Describe(args, r);
        if (r.exitCode != 0)
            return nlohmann::json();
        return nlohmann::json::parse(r.out, nullptr, false);
    }

    // Expects success; returns stdout.
    std::string Ok(const std::vector<std::string>& args) {
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.exitCode, 0) << Describe(args, r);
        return r.out;
    }

    static std::string Describe(const std::vector<std::string>& args, const ProcessResult& r) {
        std::string text = "ltpctl";
        for (const std::string& a : args)
            text += " '" + a + "'";
        return text + "\nexit " + std::to_string(r.exitCode) + "\nstdout: " + r.out +
               "\nstderr: " + r.err;
    }

    LtpdServer server;
};

// The values of one column of a JSON list, in order.
inline std::vector<std::string> Column(const nlohmann::json& list, const std::string& name) {
    std::vector<std::string> values;
    if (!list.is_array())
        return values;
    for (const auto& row : list)
        values.push_back(row[name].is_string() ? row[name].get<std::string>() : row[name].dump());
    return values;
}

inline bool Contains(const std::vector<std::string>& values, const std::string& value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

} // namespace e2e
