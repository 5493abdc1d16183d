#include "tools/ltpd/program_tree.h"

#include <map>

namespace ltpd {

bool ProgramExists(Database& db, int64_t id) {
    return db.Exists("SELECT 1 FROM programs WHERE id = ?1", id);
}

std::vector<int64_t> Subtree(Database& db, int64_t root) {
    Statement s = db.Prepare(R"sql(
WITH RECURSIVE tree(id, depth) AS (
    SELECT id, 0 FROM programs WHERE id = ?1
    UNION ALL
    SELECT p.id, tree.depth + 1 FROM programs p JOIN tree ON p.number6 = tree.id
        WHERE p.id <> p.number6 AND tree.depth < 10000)
SELECT id FROM tree ORDER BY depth, id)sql");
    s.Bind(1, root);
    std::vector<int64_t> ids;
    while (s.Step())
        ids.push_back(s.Integer(0));
    return ids;
}

bool InSubtree(Database& db, int64_t node, int64_t root) {
    for (int64_t id : Subtree(db, root))
        if (id == node)
            return true;
    return false;
}

int64_t CopySubtree(Database& db, int64_t root, int64_t newParent) {
    // Taken before the first insert, so that copying a program below itself copies what was
    // there and stops.
    const std::vector<int64_t> ids = Subtree(db, root);
    std::map<int64_t, int64_t> copyOf;
    for (int64_t id : ids) {
        Statement parent = db.Prepare("SELECT number6 FROM programs WHERE id = ?1");
        parent.Bind(1, id);
        parent.Step();
        int64_t oldParent = parent.Integer(0);
        int64_t target = id == root ? newParent : copyOf.at(oldParent);
        Statement ins = db.Prepare(R"sql(
INSERT INTO programs (text2, text3, text4, real5, number6, number7, text8, text9, text10, text11,
                      text12, text13)
SELECT text2, text3, text4, real5, ?2, number7, text8, text9, text10, text11, text12, text13
FROM programs WHERE id = ?1)sql");
        ins.Bind(1, id).Bind(2, target);
        ins.Run();
        int64_t newId = db.LastInsertId();
        copyOf[id] = newId;
        db.Prepare("INSERT INTO user_rights (user_id, program_id, rights) "
                   "SELECT user_id, ?2, rights FROM user_rights WHERE program_id = ?1")
            .Bind(1, id)
            .Bind(2, newId)
            .Run();
        db.Prepare("INSERT INTO group_rights (group_id, program_id, rights) "
                   "SELECT group_id, ?2, rights FROM group_rights WHERE program_id = ?1")
            .Bind(1, id)
            .Bind(2, newId)
            .Run();
        db.Prepare("INSERT INTO program_paths (program_id, path, real3, real4) "
                   "SELECT ?2, path, real3, real4 FROM program_paths WHERE program_id = ?1")
            .Bind(1, id)
            .Bind(2, newId)
            .Run();
    }
    return copyOf.at(root);
}

} // namespace ltpd
