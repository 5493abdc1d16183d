// The program tree: each program's Number6 names its parent, 0 the top level.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/ltpd/database.h"

namespace ltpd {

bool ProgramExists(Database& db, int64_t id);
// The program and all programs below it, parents before children.
std::vector<int64_t> Subtree(Database& db, int64_t root);
// Whether `node` is `root` or lies below it.
bool InSubtree(Database& db, int64_t node, int64_t root);
// Copies the program and everything below it, with their rights and paths, under newParent
// (0: top level). Returns the id of the copy of root.
int64_t CopySubtree(Database& db, int64_t root, int64_t newParent);

} // namespace ltpd
