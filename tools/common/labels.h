// What the server's record fields mean, as names people read: per record kind, a wire field name
// ("Text2") and its label ("name"). The meaning is the server's choice, so it is configuration,
// read from a TOML file:
//
//     [User]
//     Text2 = "name"
//     [Program]
//     Number6 = "parent"
//
// Labels are used for table headers, option aliases and help; wire names stay valid everywhere.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace ltptools {

class FieldLabels {
public:
    FieldLabels() = default;

    // Reads a labels (or schema) file through the schema's loader and keeps its labels; throws
    // ConfigError naming the file and the fault.
    static FieldLabels Load(const std::string& path);
    // The same from TOML text; source names it in messages.
    static FieldLabels Parse(std::string_view toml, const std::string& source);

    // The label of kind's field, or nullptr when it has none. Kinds and wire names are the
    // records' names ("User", "Text2"), matched exactly.
    const std::string* Label(std::string_view kind, std::string_view wire) const;
    // The wire name a label stands for, or nullptr; labels match without regard to case.
    const std::string* Wire(std::string_view kind, std::string_view label) const;
    // The label when there is one, else the wire name.
    std::string Name(std::string_view kind, std::string_view wire) const;

    // Adds one label; throws ConfigError (naming source) for a label that is not a name or is
    // given twice in the kind.
    void Add(const std::string& kind, const std::string& wire, const std::string& label,
             const std::string& source);

    bool Empty() const { return m_byWire.empty(); }
    // Every label of a kind, by wire name.
    const std::map<std::string, std::string, std::less<>>& Of(std::string_view kind) const;

private:
    using Table = std::map<std::string, std::string, std::less<>>;
    std::map<std::string, Table, std::less<>> m_byWire;
    std::map<std::string, Table, std::less<>> m_byLabel; // label in lower case -> wire name
};

// A label may serve as an option name: a letter, then letters, digits, '-' or '_'.
bool IsValidLabel(std::string_view label);

// The text in ASCII lower case: labels and the schema's names compare without regard to case.
std::string Lower(std::string_view text);

} // namespace ltptools
