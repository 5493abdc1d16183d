#include "tools/ltpd/seed.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <vector>

#include <ltpadmin/ltp/wire.h>

#include "tools/ltpd/body_reader.h"

namespace ltpd {
namespace {

struct DemoProgram {
    int parent;
    const char* name;
    const char* description;
    const char* media;
    double minutes;
    int rating;
    const char* genre;
    const char* presenter;
    const char* language;
};

// Ids are given in order, 1 upwards, so parents refer to earlier rows.
const DemoProgram kPrograms[] = {
    {0, "News", "All news programmes", "", 0, 0, "news", "", "en"},
    {1, "Morning News", "Headlines and interviews, weekdays", "news/morning.ts", 60, 0, "news",
     "Dana Reyes", "en"},
    {1, "Evening News", "The day in review", "news/evening.ts", 30, 0, "news", "Sam Okafor", "en"},
    {0, "Sport", "Sport programmes", "", 0, 0, "sport", "", "en"},
    {4, "Football Weekly", "Goals, tables and talk", "sport/football.ts", 45, 0, "sport",
     "Lee Novak", "en"},
    {4, "Match of the Week", "One full match, replayed", "sport/match.ts", 105, 0, "sport", "",
     "en"},
    {0, "Weather", "Forecasts", "weather/daily.ts", 5, 0, "weather", "Ana Silva", "en"},
    {0, "Kids", "Children's programmes", "", 0, 0, "kids", "", "en"},
    {8, "Story Time", "Stories read aloud", "kids/story.ts", 15, 6, "kids", "Mia Berg", "en"},
};

void Exec(Database& db, const char* sql) {
    db.Exec(sql);
}

std::vector<std::string> SplitCsvLine(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    for (char c : line) {
        if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else if (c != '\r') {
            field += c;
        }
    }
    fields.push_back(field);
    for (std::string& f : fields) {
        while (!f.empty() && (f.front() == ' ' || f.front() == '\t'))
            f.erase(f.begin());
        while (!f.empty() && (f.back() == ' ' || f.back() == '\t'))
            f.pop_back();
    }
    return fields;
}

bool ReadDate(const std::string& text, double& date) {
    std::string why;
    if (ParseDecimal(text, date, why))
        return true;
    return ltp::parse_iso_date(text, date);
}

} // namespace

bool SeedDemo(Database& db, double now) {
    if (db.Exists("SELECT 1 FROM users UNION ALL SELECT 1 FROM user_groups "
                  "UNION ALL SELECT 1 FROM programs"))
        return false;
    Transaction t(db);
    Exec(db, R"sql(
INSERT INTO users VALUES
 ('alice', 'Alice Martin', 'Editorial', 'alice@example.org', 'Editor of the morning news', '+1 555 0101'),
 ('bob', 'Bob Chen', 'Operations', 'bob@example.org', 'Playout operator, day shift', '+1 555 0102'),
 ('carol', 'Carol Diaz', 'Operations', 'carol@example.org', 'Playout operator, night shift', '+1 555 0103'),
 ('dave', 'Dave Kim', 'Sales', 'dave@example.org', 'Reads schedules and figures', '+1 555 0104'),
 ('erin', 'Erin Walsh', 'Editorial', 'erin@example.org', 'Sports editor', '+1 555 0105');
INSERT INTO user_groups VALUES
 ('editors', 'Edit programmes and their schedules'),
 ('operators', 'Run the playout and the MTP servers'),
 ('viewers', 'Read-only access');
INSERT INTO memberships VALUES
 ('alice', 'editors'), ('bob', 'operators'), ('bob', 'editors'), ('carol', 'operators'),
 ('dave', 'viewers'), ('erin', 'editors'), ('erin', 'viewers');
INSERT INTO channels VALUES
 ('main', 'Main Channel', 'HD'), ('news24', 'News 24', 'HD'), ('kids', 'Kids Corner', 'SD');
INSERT INTO globals VALUES
 ('MaxSessions', 200, '', 'Most client sessions at once'),
 ('DefaultLanguage', 0, 'en', 'Language of new programmes'),
 ('RetentionDays', 90, '', 'Days usage figures are kept'),
 ('StationName', 0, 'Demo Broadcasting', 'Shown in client title bars');
INSERT INTO mtp_servers VALUES
 ('mtp-east', 'mtp-east.example.net', 'main', 7001, 500, 1),
 ('mtp-west', 'mtp-west.example.net', 'news24', 7001, 250, 2),
 ('mtp-backup', 'mtp-backup.example.net', '', 7002, 100, 3);
INSERT INTO settings VALUES ('information',
 'Demo Broadcasting administration server.' || char(13, 10) ||
 'Maintenance window: Sundays 02:00-04:00 UTC.' || char(13, 10));
)sql");
    int id = 0;
    for (const DemoProgram& p : kPrograms) {
        ++id;
        db.Prepare("INSERT INTO programs (id, text2, text3, text4, real5, number6, number7, text8,"
                   " text9, text10, text11, text12, text13) VALUES"
                   " (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, '', '', '')")
            .Bind(1, id)
            .Bind(2, p.name)
            .Bind(3, p.description)
            .Bind(4, p.media)
            .Bind(5, p.minutes)
            .Bind(6, p.parent)
            .Bind(7, p.rating)
            .Bind(8, p.genre)
            .Bind(9, p.presenter)
            .Bind(10, p.language)
            .Run();
    }
    // Rights are bit sets: 1 read, 2 edit, 4 schedule, 8 delete.
    Exec(db, R"sql(
INSERT INTO group_rights VALUES
 ('editors', 1, 7), ('editors', 4, 7), ('operators', 1, 5), ('operators', 4, 5),
 ('operators', 7, 5), ('viewers', 1, 1), ('viewers', 4, 1), ('viewers', 7, 1);
INSERT INTO user_rights VALUES ('alice', 2, 15), ('erin', 5, 15), ('dave', 8, 1);
INSERT INTO program_paths VALUES
 (2, '/media/news/morning', 45658.0, 0.0), (3, '/media/news/evening', 45658.0, 0.0),
 (5, '/media/sport/football', 45700.0, 0.0), (5, '/archive/sport/football', 45000.0, 45700.0);
)sql");
    // Schedules for today on the channels, dates in days since 1899-12-30.
    const double today = std::floor(now);
    struct Slot {
        const char* channel;
        int program;
        double startHour, hours;
        int days;
    } slots[] = {{"main", 2, 7, 1, 31},    {"main", 7, 8, 0.1, 127},    {"main", 3, 19, 0.5, 31},
                 {"news24", 2, 6, 1, 127}, {"news24", 3, 18, 0.5, 127}, {"kids", 9, 16, 0.25, 127},
                 {"main", 6, 20, 1.75, 64}};
    for (const Slot& s : slots)
        db.Prepare("INSERT INTO schedules (text2, number3, real4, real5, number6) VALUES "
                   "(?1, ?2, ?3, ?4, ?5)")
            .Bind(1, s.channel)
            .Bind(2, s.program)
            .Bind(3, today + s.startHour / 24)
            .Bind(4, today + (s.startHour + s.hours) / 24)
            .Bind(5, s.days)
            .Run();
    // Thirty days of usage, the same every time for the same day.
    const char* users[] = {"alice", "bob", "carol", "dave", "erin"};
    const int programs[] = {2, 3, 5, 6, 7, 9, 2, 3, 7};
    unsigned state = 12345;
    auto next = [&state]() {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7fff;
    };
    for (int day = 30; day >= 1; --day) {
        for (const char* user : users) {
            int uses = static_cast<int>(next() % 4);
            for (int u = 0; u < uses; ++u) {
                int program = programs[next() % (sizeof programs / sizeof programs[0])];
                double start = today - day + (8 + next() % 12) / 24.0 + (next() % 60) / 1440.0;
                double stop = start + (5 + next() % 90) / 1440.0;
                db.Prepare("INSERT INTO usage VALUES (?1, ?2, ?3, ?4)")
                    .Bind(1, user)
                    .Bind(2, program)
                    .Bind(3, start)
                    .Bind(4, stop)
                    .Run();
            }
        }
    }
    t.Commit();
    return true;
}

long LoadUsageCsvText(Database& db, const std::string& text, std::string& error) {
    std::istringstream in(text);
    std::string line;
    long lineNo = 0, loaded = 0;
    Transaction t(db);
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> f = SplitCsvLine(line);
        int32_t program = 0;
        double started = 0, stopped = 0;
        bool ok = f.size() == 4 && ParseNumber(f[1], program);
        if (!ok && lineNo == 1 && f.size() == 4)
            continue; // a header line
        ok = ok && ReadDate(f[2], started) && ReadDate(f[3], stopped);
        if (!ok) {
            error = "line " + std::to_string(lineNo) +
                    ": expected user,program,started,stopped with a whole number and two dates";
            return -1;
        }
        const std::string& user = f[0];
        if (user.empty() || user.size() > 49 || user.find_first_of("|<") != std::string::npos) {
            error = "line " + std::to_string(lineNo) +
                    ": the user must be 1 to 49 bytes without '|' or '<'";
            return -1;
        }
        if (stopped < started) {
            error = "line " + std::to_string(lineNo) + ": stopped lies before started";
            return -1;
        }
        db.Prepare("INSERT INTO usage VALUES (?1, ?2, ?3, ?4)")
            .Bind(1, user)
            .Bind(2, static_cast<int64_t>(program))
            .Bind(3, started)
            .Bind(4, stopped)
            .Run();
        ++loaded;
    }
    t.Commit();
    return loaded;
}

long LoadUsageCsv(Database& db, const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return -1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return LoadUsageCsvText(db, text.str(), error);
}

} // namespace ltpd
