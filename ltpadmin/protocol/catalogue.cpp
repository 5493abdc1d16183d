#include "ltpadmin/protocol/catalogue.h"

#include <cstring>

namespace ltp::detail {
namespace {

constexpr bool NumberedInOrder() {
    for (int i = 0; i < kCommandCount; ++i)
        if (kCatalogue[i].number != i + 1)
            return false;
    return true;
}
static_assert(NumberedInOrder(), "row n sits at index n - 1");

// Handed out for a number outside 1 to 66, so that a wrong number formats nothing harmful.
constexpr CommandRow kNoRow = {
    0, "", "", "", false, BodyKind::None, "", nullptr, ResponseKind::Status, nullptr};

bool SameText(const char* literal, const char* text, size_t length) {
    return std::strlen(literal) == length &&
           (length == 0 || std::memcmp(literal, text, length) == 0);
}

} // namespace

const CommandRow& CatalogueRow(int number) {
    if (number < 1 || number > kCommandCount)
        return kNoRow;
    return kCatalogue[number - 1];
}

const CommandRow* FindCommand(const char* verb, size_t verbLength, const char* object,
                              size_t objectLength) {
    for (const CommandRow& row : kCatalogue)
        if (SameText(row.verb, verb, verbLength) && SameText(row.object, object, objectLength))
            return &row;
    return nullptr;
}

} // namespace ltp::detail
