#include "tools/ltpd/body_reader.h"

#include "tools/ltpd/library.h"

#include <ltpadmin/ltp/wire.h>

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace ltpd {
namespace {

// Names are read as the library's scanner reads them.
bool IsNameByte(char c) {
    return ltp::detail::IsNameByte(static_cast<unsigned char>(c));
}

bool SameNameNoCase(std::string_view a, std::string_view b) {
    // Names compare as the library's scanner compares them: ASCII letters folded.
    return CTextSpan{a.data(), static_cast<UINT>(a.size())}.EqualsNoCase(
        b.data(), static_cast<UINT>(b.size()));
}

// Index of the next `wanted` byte at or after pos, stepping over double-byte characters.
size_t FindByte(std::string_view s, size_t pos, char wanted, const CodePage& cp) {
    while (pos < s.size()) {
        if (s[pos] == wanted)
            return pos;
        pos += cp.IsLead(static_cast<unsigned char>(s[pos])) ? 2 : 1;
    }
    return std::string_view::npos;
}

std::vector<std::string_view> SplitFields(std::string_view content, const CodePage& cp) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        size_t bar = FindByte(content, start, '|', cp);
        if (bar == std::string_view::npos) {
            fields.push_back(content.substr(start));
            return fields;
        }
        fields.push_back(content.substr(start, bar - start));
        start = bar + 1;
    }
}

std::string Printable(std::string_view name) {
    std::string out(name.substr(0, 40));
    for (char& c : out)
        if (!IsNameByte(c))
            c = '?';
    return out;
}

FieldKind KindOf(std::string_view conversion) {
    if (conversion == "%d")
        return FieldKind::Whole;
    if (conversion == "%f" || conversion == "%.9f")
        return FieldKind::Decimal;
    return FieldKind::Text;
}

} // namespace

bool SplitElements(std::string_view body, const CodePage& cp, std::vector<RawElement>& elements,
                   std::string& error) {
    elements.clear();
    // A final line end closes the body; nothing else may follow the last element.
    if (body.size() >= 2 && body.substr(body.size() - 2) == "\r\n")
        body.remove_suffix(2);
    else if (!body.empty() && body.back() == '\n')
        body.remove_suffix(1);
    if (body.empty()) {
        error = "empty body";
        return false;
    }
    size_t pos = 0;
    while (pos < body.size()) {
        if (body[pos] != '<') {
            error = "text outside an element";
            return false;
        }
        size_t nameStart = ++pos;
        while (pos < body.size() && IsNameByte(body[pos]))
            ++pos;
        std::string_view name = body.substr(nameStart, pos - nameStart);
        if (name.empty() || pos >= body.size() || body[pos] != '>') {
            error = "malformed element tag";
            return false;
        }
        size_t contentStart = ++pos;
        size_t close = FindByte(body, pos, '<', cp);
        if (close == std::string_view::npos) {
            error = "element " + Printable(name) + " is not closed";
            return false;
        }
        std::string_view content = body.substr(contentStart, close - contentStart);
        pos = close + 1;
        if (pos < body.size() && body[pos] == '/')
            ++pos;
        size_t closeNameStart = pos;
        while (pos < body.size() && IsNameByte(body[pos]))
            ++pos;
        std::string_view closeName = body.substr(closeNameStart, pos - closeNameStart);
        if (pos >= body.size() || body[pos] != '>' || !SameNameNoCase(name, closeName)) {
            // Also what a "<" inside a value looks like: the value cannot be carried.
            error = "element " + Printable(name) +
                    " is not closed by its own tag (a value may not hold a less-than sign)";
            return false;
        }
        ++pos;
        elements.push_back(RawElement{name, SplitFields(content, cp)});
    }
    return true;
}

bool ParseNumber(std::string_view text, int32_t& value) {
    return ltp::parse_integer(text, value);
}

bool ParseDecimal(std::string_view text, double& value, std::string& error) {
    if (ltp::parse_decimal(text, value))
        return true;
    double magnitude = 0;
    if (!text.empty() && text.front() == '-' && ltp::parse_decimal(text.substr(1), magnitude))
        error = "negative decimal numbers cannot be read back by clients";
    else
        error = "not a decimal number";
    return false;
}

bool ReadBody(std::string_view body, std::string_view bodyTemplate, const CodePage& cp,
              BodyValues& values, std::string& error) {
    values.clear();
    std::vector<RawElement> form;
    std::string formError;
    if (!SplitElements(bodyTemplate, CodePage(), form, formError)) {
        error = "internal: unreadable request form";
        return false;
    }
    std::vector<RawElement> got;
    if (!SplitElements(body, cp, got, error))
        return false;
    if (got.size() != form.size()) {
        error = "expected " + std::to_string(form.size()) + " element(s), found " +
                std::to_string(got.size());
        return false;
    }
    for (size_t e = 0; e < form.size(); ++e) {
        const std::string name = Printable(form[e].name);
        if (!SameNameNoCase(form[e].name, got[e].name)) {
            error = "expected element " + name + ", found " + Printable(got[e].name);
            return false;
        }
        if (got[e].fields.size() != form[e].fields.size()) {
            error = "element " + name + " has " + std::to_string(got[e].fields.size()) +
                    " field(s), expected " + std::to_string(form[e].fields.size()) +
                    " (a text may not hold '|')";
            return false;
        }
        std::vector<FieldValue> fields;
        for (size_t f = 0; f < form[e].fields.size(); ++f) {
            FieldValue v;
            v.kind = KindOf(form[e].fields[f]);
            std::string_view text = got[e].fields[f];
            std::string where =
                form[e].fields.size() > 1 ? "field " + std::to_string(f + 1) + " of " + name : name;
            if (v.kind == FieldKind::Whole) {
                if (!ParseNumber(text, v.number)) {
                    error = where + " is not a whole number";
                    return false;
                }
            } else if (v.kind == FieldKind::Decimal) {
                std::string why;
                if (!ParseDecimal(text, v.decimal, why)) {
                    error = where + ": " + why;
                    return false;
                }
            } else {
                if (text.find('\0') != std::string_view::npos) {
                    error = where + " holds a zero byte";
                    return false;
                }
                // A stored line break would come back inside a record that clients split at
                // line ends, and no client could save that record unchanged again.
                if (text.find_first_of("\r\n") != std::string_view::npos) {
                    error = where + " holds a line break";
                    return false;
                }
                v.text.assign(text);
            }
            fields.push_back(std::move(v));
        }
        values.push_back(std::move(fields));
    }
    return true;
}

} // namespace ltpd
