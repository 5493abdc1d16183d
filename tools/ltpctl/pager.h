// Long tables on a terminal go through the reader's pager, as people expect of a listing.
#pragma once

#include <iosfwd>
#include <string>

namespace ltpctl {

// Writes text to out; when out is standard output on a terminal and text has more lines than the
// terminal, through $PAGER instead ("less" when unset; an empty PAGER turns paging off).
void WriteOrPage(const std::string& text, std::ostream& out);

// Whether WriteOrPage may page what is written to out (standard output on a terminal).
bool MayPage(const std::ostream& out);

} // namespace ltpctl
