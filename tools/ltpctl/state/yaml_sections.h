// The file split by indentation alone into its sections, and each section's map into its
// entries, for files laid out as export writes them (two spaces a level, every list and quoted
// text on one line). An entry is made into a tree only when it is read, so that a file of
// hundreds of thousands of users is never a tree as a whole; entries of the simplest form
// (fields of plain or quoted texts, a list of names) are read directly, others by the YAML
// parser. A file laid out otherwise is not split: it is read whole by the parser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/ltpctl/state/yaml_tree.h"

namespace ltpstate {

struct YamlSection {
    YamlNode key;
    // The value, when it is on the key's line ("users: {}", "information: text").
    YamlNode value;
    bool split = false; // else: the entries, each a map of one key
    struct Entry {
        std::string_view text;
        int line = 0;
    };
    std::vector<Entry> entries;
};

// False (sections untouched) when the layout is not one this split is sure of.
bool SplitSections(std::string_view text, std::vector<YamlSection>& sections);

// An entry's key and value. Throws FileError as the parser does.
void ReadEntry(const YamlSection::Entry& entry, YamlNode& key, YamlNode& value);

} // namespace ltpstate
