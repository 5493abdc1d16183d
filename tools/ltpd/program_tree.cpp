#include "tools/ltpd/program_tree.h"

namespace ltpd {

bool ProgramExists(Database& db, int64_t id) {
    return db.Exists("SELECT 1 FROM programs WHERE id = ?1", id);
}

namespace {

// The program ?1 and every program below it, with its depth, however deep. Going down from ?1,
// a cycle (which an older database may hold) can only be met through ?1 itself, since every
// other program of a cycle has its parent inside it: never stepping back to ?1 ends the walk.
const char kTree[] = R"sql(
WITH RECURSIVE tree(id, depth) AS (
    SELECT id, 0 FROM programs WHERE id = ?1
    UNION ALL
    SELECT p.id, tree.depth + 1 FROM programs p JOIN tree ON p.number6 = tree.id
        WHERE p.id <> ?1))sql";

} // namespace

std::vector<int64_t> Subtree(Database& db, int64_t root) {
    Statement s = db.Prepare(std::string(kTree) + " SELECT id FROM tree ORDER BY depth, id");
    s.Bind(1, root);
    std::vector<int64_t> ids;
    while (s.Step())
        ids.push_back(s.Integer(0));
    return ids;
}

bool InSubtree(Database& db, int64_t node, int64_t root) {
    // Up from node: as long as its chain of parents, not as wide as root's subtree. UNION drops
    // a program met again, so a cycle in an older database ends the walk too.
    Statement s = db.Prepare(R"sql(
WITH RECURSIVE up(id) AS (
    SELECT ?1
    UNION
    SELECT p.number6 FROM programs p JOIN up ON p.id = up.id WHERE p.number6 <> 0)
SELECT 1 FROM up WHERE id = ?2 LIMIT 1)sql");
    s.Bind(1, node);
    s.Bind(2, root);
    return s.Step();
}

int64_t CopySubtree(Database& db, int64_t root, int64_t newParent) {
    // Whole sets, not a statement per program: copying 10,000 programs stays a matter of
    // milliseconds, which the other clients wait. copy_map holds the new id of every program
    // copied; it is taken before the first insert, so that copying a program below itself
    // copies what was there and stops.
    db.Exec("CREATE TEMP TABLE IF NOT EXISTS copy_map (old INTEGER PRIMARY KEY, "
            "new INTEGER NOT NULL)");
    db.Exec("DELETE FROM copy_map");
    // New numbers follow the highest ever given, parents before their children.
    Statement top = db.Prepare(
        "SELECT MAX(COALESCE((SELECT seq FROM sqlite_sequence WHERE name = 'programs'), 0), "
        "COALESCE((SELECT MAX(id) FROM programs), 0))");
    top.Step();
    db.Prepare(std::string(kTree) +
               " INSERT OR IGNORE INTO copy_map (old, new) "
               "SELECT id, ?2 + ROW_NUMBER() OVER (ORDER BY depth, id) FROM tree")
        .Bind(1, root)
        .Bind(2, top.Integer(0))
        .Run();
    db.Prepare(R"sql(
INSERT INTO programs (id, text2, text3, text4, real5, number6, number7, text8, text9, text10,
                      text11, text12, text13)
SELECT m.new, p.text2, p.text3, p.text4, p.real5,
       CASE WHEN p.id = ?1 THEN ?2 ELSE (SELECT c.new FROM copy_map c WHERE c.old = p.number6) END,
       p.number7, p.text8, p.text9, p.text10, p.text11, p.text12, p.text13
FROM copy_map m JOIN programs p ON p.id = m.old ORDER BY m.new)sql")
        .Bind(1, root)
        .Bind(2, newParent)
        .Run();
    db.Exec(R"sql(
INSERT INTO user_rights (user_id, program_id, rights)
    SELECT r.user_id, m.new, r.rights FROM copy_map m JOIN user_rights r ON r.program_id = m.old;
INSERT INTO group_rights (group_id, program_id, rights)
    SELECT r.group_id, m.new, r.rights FROM copy_map m JOIN group_rights r ON r.program_id = m.old;
INSERT INTO program_paths (program_id, path, real3, real4)
    SELECT m.new, x.path, x.real3, x.real4 FROM copy_map m JOIN program_paths x
        ON x.program_id = m.old;)sql");
    Statement copy = db.Prepare("SELECT new FROM copy_map WHERE old = ?1");
    copy.Bind(1, root);
    copy.Step();
    const int64_t newRoot = copy.Integer(0);
    db.Exec("DELETE FROM copy_map");
    return newRoot;
}

} // namespace ltpd
