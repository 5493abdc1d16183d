#include "tools/common/labels.h"

#include <cctype>

#include "tools/common/config_error.h"
#include "tools/common/schema.h"

namespace ltptools {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

bool IsValidLabel(std::string_view label) {
    if (label.empty() || label.size() > 64 || !std::isalpha(static_cast<unsigned char>(label[0])))
        return false;
    for (const char c : label)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
            return false;
    return true;
}

// A labels file is a schema (schema.h) that says nothing more: the schema's one loader reads both.
FieldLabels FieldLabels::Load(const std::string& path) {
    return Schema::Load(path).Labels();
}

FieldLabels FieldLabels::Parse(std::string_view text, const std::string& source) {
    return Schema::Parse(text, source).Labels();
}

void FieldLabels::Add(const std::string& kind, const std::string& wire, const std::string& label,
                      const std::string& source) {
    if (!IsValidLabel(label))
        throw ConfigError(source + ": the label of " + kind + "." + wire +
                          " must be a name (a letter, then letters, digits, '-' or '_')");
    if (!m_byLabel[kind].emplace(Lower(label), wire).second)
        throw ConfigError(source + ": the label '" + label + "' is given twice in " + kind);
    if (!m_byWire[kind].emplace(wire, label).second)
        throw ConfigError(source + ": " + kind + "." + wire + " has two labels");
}

const std::string* FieldLabels::Label(std::string_view kind, std::string_view wire) const {
    const auto k = m_byWire.find(kind);
    if (k == m_byWire.end())
        return nullptr;
    const auto f = k->second.find(wire);
    return f == k->second.end() ? nullptr : &f->second;
}

const std::string* FieldLabels::Wire(std::string_view kind, std::string_view label) const {
    const auto k = m_byLabel.find(kind);
    if (k == m_byLabel.end())
        return nullptr;
    const auto f = k->second.find(Lower(label));
    return f == k->second.end() ? nullptr : &f->second;
}

std::string FieldLabels::Name(std::string_view kind, std::string_view wire) const {
    const std::string* label = Label(kind, wire);
    return label ? *label : std::string(wire);
}

const std::map<std::string, std::string, std::less<>>&
FieldLabels::Of(std::string_view kind) const {
    static const Table kNone;
    const auto k = m_byWire.find(kind);
    return k == m_byWire.end() ? kNone : k->second;
}

} // namespace ltptools
