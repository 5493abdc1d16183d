// ltpweb's request bodies: whatever bytes arrive, the body check either accepts an object of the
// declared fields or refuses with an ApiError, and a record filled from an accepted body is
// refused field by field, never crashing or leaving the record half a type.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/common/record_json.h"
#include "tools/ltpweb/api_error.h"
#include "tools/ltpweb/json_body.h"
#include "tools/ltpweb/ltp_access.h"

namespace {

template <class T> void Check(const std::string& text) {
    nlohmann::ordered_json body;
    try {
        body = ltpweb::ParseBody(text, ltpweb::RecordBodyFields<T>());
    } catch (const ltpweb::ApiError& e) {
        if (e.http != 400 && e.http != 413)
            __builtin_trap();
        return;
    }
    if (!body.is_object())
        __builtin_trap();
    try {
        T record = ltptools::RecordFromJson<T>(body);
        // What was accepted dumps again as JSON, whatever bytes its texts hold.
        (void)ltptools::RecordToJson(record).dump(-1, ' ', false,
                                                  nlohmann::ordered_json::error_handler_t::replace);
    } catch (const ltptools::RecordJsonError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the record kind, the rest is the body.
    std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
        case 0:
            Check<ltp::User>(text);
            break;
        case 1:
            Check<ltp::Schedule>(text);
            break;
        default:
            Check<ltp::Program>(text);
            break;
    }
    return 0;
}
