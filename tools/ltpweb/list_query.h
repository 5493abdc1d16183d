// Server-side search, sort and paging of a list answer, so that the page fetches one screen of a
// large list rather than all of it.
#pragma once

#include <vector>

#include "tools/ltpweb/routes.h"

namespace ltpweb {

// The query parameters a paged list takes: q, offset, limit, sort ("Text2" or "-Text2").
std::vector<QueryParam> ListQueryParams();

// True when the call asks for the paged form.
bool WantsPage(const Call& call);

// The records (a JSON array) matching q (case-insensitive, in any value), sorted, and the page
// asked for: {"total": matches, "offset": o, "limit": l, "items": [...]}. Without a sort the
// order stays as given. limit is at most 1000 (100 when absent). ApiError 400 for a bad value.
nlohmann::ordered_json PageOf(nlohmann::ordered_json records, const Call& call);

} // namespace ltpweb
