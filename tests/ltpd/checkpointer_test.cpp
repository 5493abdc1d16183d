// Checkpoints on their own thread: a long run of commits keeps the log bounded, and every commit
// is in the file once the server is gone.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "tools/ltpd/checkpointer.h"
#include "tools/ltpd/database.h"
#include "tools/ltpd/schema.h"

namespace {

TEST(Checkpointer, ALongRunOfCommitsKeepsTheLogBoundedAndLosesNothing) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("ltpd-checkpoint-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "ltp.db").string();
    const int commits = 15000;
    {
        ltpd::Database db(path);
        ltpd::UseWriteAheadLog(db);
        ltpd::CreateSchema(db);
        auto checkpointer = std::make_unique<ltpd::Checkpointer>(db, path);
        for (int i = 0; i < commits; ++i) {
            ltpd::Transaction t(db);
            db.Prepare("INSERT INTO user_groups (id, text2) VALUES (?1, ?2)")
                .Bind(1, "g" + std::to_string(i))
                .Bind(2, std::string(40, 'x'))
                .Run();
            t.Commit();
        }
        // Each commit adds about two pages; without copying the log would hold all of them.
        EXPECT_LT(std::filesystem::file_size(path + "-wal"), std::uintmax_t{48} << 20);
        checkpointer.reset();
    }
    ltpd::Database again(path);
    ltpd::Statement count = again.Prepare("SELECT count(*) FROM user_groups");
    ASSERT_TRUE(count.Step());
    EXPECT_EQ(count.Integer(0), commits);
    std::filesystem::remove_all(dir);
}

} // namespace
