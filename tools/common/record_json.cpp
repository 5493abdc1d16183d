#include "tools/common/record_json.h"

#include "tools/ltpctl/dates.h"

namespace ltptools {

nlohmann::json DateToJson(double days) {
    std::string text = ltpctl::FormatIsoDate(days);
    if (text.size() == 10)
        return text + "T00:00:00Z";
    if (text.size() == 19 && text[10] == 'T')
        return text + "Z";
    return days;
}

double DateFromText(const std::string& text) {
    double days = 0;
    std::string error;
    if (!ltpctl::ParseIsoDate(text, days, error))
        throw std::invalid_argument(error);
    return days;
}

} // namespace ltptools
