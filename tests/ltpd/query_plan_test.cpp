// Every statement the handlers run, as SQLite plans it: a lookup by a key or a relation never
// scans a whole table (only the listings of whole tables may), so no request slows down as the
// tables grow.
#include "service_fixture.h"

#include <set>
#include <sqlite3.h>

#include <ltpadmin/ltp/dates.h>
#include "tools/ltpd/seed.h"

namespace ltpd {
namespace {

// A value for each conversion of a request form, chosen by the element it stands in, so that the
// handlers get past their existence checks on the demo data.
std::string FillForm(const std::string& form) {
    std::string out;
    std::string element;
    size_t field = 0;
    for (size_t i = 0; i < form.size(); ++i) {
        char c = form[i];
        if (c == '<' && i + 1 < form.size() && form[i + 1] != '/') {
            size_t close = form.find('>', i);
            element = form.substr(i + 1, close - i - 1);
            field = 0;
        } else if (c == '|') {
            ++field;
        }
        if (c != '%') {
            out += c;
            continue;
        }
        size_t end = form.find_first_of("dfs", i);
        const char kind = form[end];
        i = end;
        if (kind == 'd')
            out += element == "TOPCount"                         ? "5"
                   : element.find("Rights") != std::string::npos ? "3"
                                                                 : "2";
        else if (kind == 'f')
            out += element == "DateStopped"   ? "50000.0"
                   : element == "DateStarted" ? "40000.0"
                                              : "1.5";
        else if (element == "UserID" || element == "UserName")
            out += "alice";
        else if (element == "GroupID")
            out += "editors";
        else if (element == "ChannelID")
            out += "main";
        else if (element == "ProgramPath")
            out += "/p";
        else
            out += field == 0 ? "zed" : "main";
    }
    return out;
}

class QueryPlans : public ServiceFixture {
protected:
    static int Trace(unsigned, void* context, void* statement, void*) {
        static_cast<std::set<std::string>*>(context)->insert(
            sqlite3_sql(static_cast<sqlite3_stmt*>(statement)));
        return 0;
    }
};

TEST_F(QueryPlans, NoHandlerStatementScansATableItLooksUpIn) {
    ASSERT_TRUE(SeedDemo(db, ltp::to_wire_date(std::chrono::system_clock::now())));
    std::set<std::string> statements;
    sqlite3_trace_v2(db.Handle(), SQLITE_TRACE_STMT, Trace, &statements);
    // Twice: the second round finds what the first one added.
    for (int round = 0; round < 2; ++round)
        for (int row = 1; row <= 66; ++row) {
            const ltp::detail::CommandRow& command = ltp::detail::CatalogueRow(row);
            Call(row, command.bodyTemplate ? FillForm(command.bodyTemplate) : "");
        }
    sqlite3_trace_v2(db.Handle(), 0, nullptr, nullptr);

    std::set<std::string> tables;
    for (Statement s = db.Prepare("SELECT name FROM sqlite_master WHERE type = 'table' "
                                  "AND name NOT LIKE 'sqlite%'");
         s.Step();)
        tables.insert(s.Text(0));
    size_t checked = 0;
    for (const std::string& sql : statements) {
        if (sql.rfind("SELECT", 0) != 0 && sql.rfind("INSERT", 0) != 0 &&
            sql.rfind("UPDATE", 0) != 0 && sql.rfind("DELETE", 0) != 0 &&
            sql.rfind("\nWITH", 0) != 0 && sql.rfind("\nSELECT", 0) != 0 &&
            sql.rfind("\nINSERT", 0) != 0)
            continue;
        ++checked;
        const bool wholeTable = sql.find("WHERE") == std::string::npos;
        Statement plan = db.Prepare("EXPLAIN QUERY PLAN " + sql);
        while (plan.Step()) {
            const std::string detail = plan.Text(3);
            if (detail.rfind("SCAN ", 0) != 0)
                continue;
            const std::string table = detail.substr(5, detail.find(' ', 5) - 5);
            EXPECT_TRUE(wholeTable || !tables.count(table)) << detail << "\n  in: " << sql;
        }
    }
    EXPECT_GT(checked, 60u); // the handlers did run
}

} // namespace
} // namespace ltpd
