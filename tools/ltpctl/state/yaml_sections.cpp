#include "tools/ltpctl/state/yaml_sections.h"

#include "tools/ltpctl/state/file_error.h"

namespace ltpstate {
namespace {

std::size_t Indent(std::string_view line) {
    std::size_t n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}

// Whether every quote, list and map a line opens is closed on it, so that the next line begins
// a node of its own.
bool SelfContained(std::string_view line) {
    int depth = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            for (++i; i < line.size() && line[i] != '"'; ++i)
                if (line[i] == '\\')
                    ++i;
            if (i >= line.size())
                return false;
        } else if (c == '\'') {
            // A single quote inside a plain text ("it's") is a letter; one that opens a text
            // follows a space, a ":" or a flow sign.
            if (i > 0 && line[i - 1] != ' ' && line[i - 1] != '[' && line[i - 1] != '{' &&
                line[i - 1] != ',')
                continue;
            for (++i; i < line.size() && line[i] != '\''; ++i) {
            }
            if (i >= line.size())
                return false;
        } else if (c == '[' || c == '{') {
            ++depth;
        } else if ((c == ']' || c == '}') && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

bool Letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A key the split can be sure of: letters, digits and a few signs, no quotes or indicators.
bool SimpleKey(std::string_view key) {
    if (key.empty() || !Letter(key.front()) || key.back() == ' ')
        return false;
    for (char c : key)
        if (!Letter(c) && c != ' ' && c != '_' && c != '.' && c != '-' && c != '+' && c != '/' &&
            c != '(' && c != ')' && c != '@' && c != ',')
            return false;
    return true;
}

// "key:" or "key: rest" at the given indentation; key and rest (empty for none) set.
bool KeyLine(std::string_view line, std::size_t indent, std::string_view& key,
             std::string_view& rest) {
    line.remove_prefix(indent);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    key = line.substr(0, colon);
    if (!SimpleKey(key))
        return false;
    rest = line.substr(colon + 1);
    if (rest.empty())
        return true;
    if (rest.front() != ' ')
        return false;
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    return true;
}

YamlNode Scalar(std::string_view text, const char* tag, int line) {
    YamlNode node;
    node.kind = YamlNode::Kind::scalar;
    node.scalar = std::string(text);
    node.tag = tag;
    node.line = line;
    return node;
}

// A plain text the parser reads as itself: no indicator first, nothing that ends it early,
// and not one of the words for no value.
bool PlainValue(std::string_view text, bool inFlow) {
    if (text.empty() || text.back() == ' ' || text.back() == ':')
        return false;
    if (std::string_view("-?:,[]{}#&*!|>'\"%@`~").find(text.front()) != std::string_view::npos)
        return false;
    if (text.find(": ") != std::string_view::npos || text.find(" #") != std::string_view::npos)
        return false;
    if (inFlow && text.find_first_of(",[]{}:#'\"") != std::string_view::npos)
        return false;
    return text != "null" && text != "Null" && text != "NULL";
}

// A field's value on its line: a plain or quoted text without escapes, or a list of plain names.
bool DirectValue(std::string_view text, int line, YamlNode& value) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        const std::string_view inner = text.substr(1, text.size() - 2);
        if (inner.find_first_of("\"\\") != std::string_view::npos)
            return false;
        value = Scalar(inner, "!", line);
        return true;
    }
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        value = YamlNode();
        value.kind = YamlNode::Kind::sequence;
        value.tag = "?";
        value.line = line;
        std::string_view items = text.substr(1, text.size() - 2);
        if (items.empty())
            return true;
        for (;;) {
            const std::size_t comma = items.find(',');
            std::string_view item = items.substr(0, comma);
            while (!item.empty() && item.front() == ' ')
                item.remove_prefix(1);
            while (!item.empty() && item.back() == ' ')
                item.remove_suffix(1);
            if (!PlainValue(item, true))
                return false;
            value.children.push_back(Scalar(item, "?", line));
            if (comma == std::string_view::npos)
                return true;
            items.remove_prefix(comma + 1);
        }
    }
    if (!PlainValue(text, false))
        return false;
    value = Scalar(text, "?", line);
    return true;
}

// "  key:" and its fields, each "    Field: value" on a line of its own.
bool ReadDirect(const YamlSection::Entry& entry, YamlNode& key, YamlNode& value) {
    std::string_view text = entry.text;
    int line = entry.line;
    auto nextLine = [&] {
        const std::size_t end = text.find('\n');
        std::string_view l = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        return l;
    };
    std::string_view name, rest;
    if (!KeyLine(nextLine(), 2, name, rest) || !rest.empty() || text.empty())
        return false;
    key = Scalar(name, "?", line);
    value = YamlNode();
    value.kind = YamlNode::Kind::map;
    value.tag = "?";
    value.line = line + 1;
    while (!text.empty()) {
        const std::string_view l = nextLine();
        ++line;
        std::string_view field, fieldValue;
        if (Indent(l) != 4 || !KeyLine(l, 4, field, fieldValue))
            return false;
        YamlNode v;
        if (!DirectValue(fieldValue, line, v))
            return false;
        value.children.push_back(Scalar(field, "?", line));
        value.children.push_back(std::move(v));
    }
    return true;
}

} // namespace

bool SplitSections(std::string_view text, std::vector<YamlSection>& sections) {
    // Tabs and carriage returns change what indentation and line ends are, and an alias may name
    // an anchor of another entry (refused as such by the reading of the whole file); everything
    // else that means something to YAML (comments, tags, block texts) is either refused by the
    // split below or lies within an entry, which the parser then reads.
    if (text.find_first_of("\t\r*") != std::string_view::npos)
        return false;
    std::vector<YamlSection> split;
    int line = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) // the last line ends the file without a line break
            return false;
        const std::string_view l = text.substr(at, end - at);
        const std::size_t begin = at;
        at = end + 1;
        ++line;
        if (l.empty())
            continue;
        if (!SelfContained(l))
            return false;
        const std::size_t indent = Indent(l);
        std::string_view key, rest;
        if (indent == 0) {
            if (!KeyLine(l, 0, key, rest))
                return false;
            YamlSection s;
            s.key = Scalar(key, "?", line);
            if (!rest.empty()) {
                // The value on the line, read by the parser as a map of one key.
                // What it cannot read is left to the parser's reading of the whole file.
                YamlNode one;
                try {
                    one = ParseYaml(std::string(l), line);
                } catch (const FileError&) {
                    return false;
                }
                if (!one.IsMap() || one.children.size() != 2)
                    return false;
                s.value = std::move(one.children[1]);
            } else {
                s.split = true;
            }
            split.push_back(std::move(s));
            continue;
        }
        if (split.empty() || !split.back().split)
            return false;
        std::vector<YamlSection::Entry>& entries = split.back().entries;
        if (indent == 2) {
            if (!KeyLine(l, 2, key, rest))
                return false;
            entries.push_back({text.substr(begin, at - begin), line});
        } else if (indent > 2 && !entries.empty()) {
            const YamlSection::Entry& last = entries.back();
            entries.back().text =
                std::string_view(last.text.data(), at - (last.text.data() - text.data()));
        } else {
            return false;
        }
    }
    for (YamlSection& s : split)
        if (s.split && s.entries.empty())
            return false; // "users:" and nothing under it: no value, which the parser reads
    sections = std::move(split);
    return true;
}

void ReadEntry(const YamlSection::Entry& entry, YamlNode& key, YamlNode& value) {
    if (ReadDirect(entry, key, value))
        return;
    YamlNode one = ParseYaml(std::string(entry.text), entry.line);
    if (!one.IsMap() || one.children.size() != 2)
        throw FileError(entry.line, "not YAML: an entry that is not one name and its value");
    key = std::move(one.children[0]);
    value = std::move(one.children[1]);
}

} // namespace ltpstate
