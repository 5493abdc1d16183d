#include "ltpadmin/protocol/element.h"

namespace ltp::detail {

bool OpenElement(CTextScanner& scanner, const char* tag, UINT tagLength) {
    scanner.SkipTo('<');
    if (!scanner.Match('<'))
        return false;
    for (;;) {
        const CTextSpan name = scanner.SkipUntil(kNameEndSet);
        if (name.length != 0 && name.EqualsNoCase(tag, tagLength))
            break;
        scanner.SkipTo('<');
        if (!scanner.Match('<'))
            return false;
    }
    scanner.SkipTo('>');
    scanner.Match('>');
    return true;
}

} // namespace ltp::detail
