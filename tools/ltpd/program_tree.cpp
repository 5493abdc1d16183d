#include "tools/ltpd/program_tree.h"

#include <unordered_map>

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
    // there and stops. Parents come before their children.
    Statement tree = db.Prepare(R"sql(
WITH RECURSIVE tree(id, parent, depth) AS (
    SELECT id, number6, 0 FROM programs WHERE id = ?1
    UNION ALL
    SELECT p.id, p.number6, tree.depth + 1 FROM programs p JOIN tree ON p.number6 = tree.id
        WHERE p.id <> p.number6 AND tree.depth < 10000)
SELECT id, parent FROM tree ORDER BY depth, id)sql");
    tree.Bind(1, root);
    std::vector<std::pair<int64_t, int64_t>> nodes;
    while (tree.Step())
        nodes.emplace_back(tree.Integer(0), tree.Integer(1));

    // Prepared once: each program copied costs a few index lookups, whatever the tree's size.
    Statement program = db.Prepare(R"sql(
INSERT INTO programs (text2, text3, text4, real5, number6, number7, text8, text9, text10, text11,
                      text12, text13)
SELECT text2, text3, text4, real5, ?2, number7, text8, text9, text10, text11, text12, text13
FROM programs WHERE id = ?1)sql");
    Statement userRights = db.Prepare("INSERT INTO user_rights (user_id, program_id, rights) "
                                      "SELECT user_id, ?2, rights FROM user_rights "
                                      "WHERE program_id = ?1");
    Statement groupRights = db.Prepare("INSERT INTO group_rights (group_id, program_id, rights) "
                                       "SELECT group_id, ?2, rights FROM group_rights "
                                       "WHERE program_id = ?1");
    Statement paths = db.Prepare("INSERT INTO program_paths (program_id, path, real3, real4) "
                                 "SELECT ?2, path, real3, real4 FROM program_paths "
                                 "WHERE program_id = ?1");
    std::unordered_map<int64_t, int64_t> copyOf;
    copyOf.reserve(nodes.size());
    for (const auto& [id, parent] : nodes) {
        program.Reset();
        program.Bind(1, id).Bind(2, id == root ? newParent : copyOf.at(parent));
        program.Run();
        const int64_t newId = db.LastInsertId();
        copyOf[id] = newId;
        for (Statement* s : {&userRights, &groupRights, &paths}) {
            s->Reset();
            s->Bind(1, id).Bind(2, newId);
            s->Run();
        }
    }
    return copyOf.at(root);
}

} // namespace ltpd
