#include "tools/common/dates.h"

#include <ltpadmin/ltp/wire.h>

namespace ltptools {

bool ParseIsoDate(const std::string& text, double& days, std::string& error) {
    return ltp::parse_iso_date(text, days, &error);
}

std::string FormatIsoDate(double days) {
    // The tools show UTC without its "Z", and a day alone when the time is midnight.
    std::string text = ltp::format_iso_date(days);
    if (text.size() == 20 && text.back() == 'Z') {
        text.pop_back();
        if (text.compare(10, 9, "T00:00:00") == 0)
            text.resize(10);
    }
    return text;
}

} // namespace ltptools
