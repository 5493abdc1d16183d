#include "tools/ltpctl/output.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <ostream>

#include <nlohmann/json.hpp>

#include "tools/common/dates.h"
#include "tools/common/display.h"

namespace ltpctl {
namespace {

const std::string& Heading(const Column& c, bool labels) {
    return labels && !c.label.empty() ? c.label : c.name;
}

// Dates with their zone and without the "no date" day; the text as it is when it is no date.
std::string DateForPeople(const std::string& cell, bool local) {
    double days = 0;
    std::string error;
    return ltptools::ParseIsoDate(cell, days, error) ? ltptools::DisplayDate(days, local) : cell;
}

// Columns on the screen: UTF-8 continuation bytes take none.
size_t ScreenWidth(const std::string& text) {
    size_t n = 0;
    for (const char c : text)
        n += (static_cast<unsigned char>(c) & 0xc0) != 0x80;
    return n;
}

// The text cut to width columns, its end an ellipsis, never inside a UTF-8 sequence.
std::string Cut(const std::string& text, size_t width) {
    if (ScreenWidth(text) <= width)
        return text;
    size_t end = 0;
    for (size_t shown = 0; end < text.size(); ++end) {
        if ((static_cast<unsigned char>(text[end]) & 0xc0) != 0x80 && ++shown == width)
            break;
    }
    return text.substr(0, end) + "\u2026";
}

// Narrows the widest text columns until the line fits the terminal; numbers are never cut.
void Fit(std::vector<size_t>& widths, const std::vector<Column>& columns, size_t screen) {
    constexpr size_t kNarrowest = 6;
    auto total = [&] {
        size_t sum = widths.empty() ? 0 : 2 * (widths.size() - 1);
        for (const size_t w : widths)
            sum += w;
        return sum;
    };
    while (total() > screen) {
        size_t widest = widths.size();
        for (size_t i = 0; i < widths.size(); ++i)
            if (!columns[i].numeric && widths[i] > kNarrowest &&
                (widest == widths.size() || widths[i] > widths[widest]))
                widest = i;
        if (widest == widths.size())
            return;
        --widths[widest];
    }
}

void PrintAligned(const ResultTable& raw, const PrintOptions& options, std::ostream& out) {
    // Server texts may hold escape sequences: a table shows them, it does not obey them.
    ResultTable t = raw;
    for (Column& c : t.columns)
        c.name = ltptools::EscapeControls(Heading(c, true));
    for (auto& row : t.rows)
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = ltptools::EscapeControls(i < t.columns.size() && t.columns[i].date
                                                  ? DateForPeople(row[i], options.localDates)
                                                  : row[i]);
    std::vector<size_t> widths;
    for (const Column& c : t.columns)
        widths.push_back(options.noHeaders ? 0 : ScreenWidth(c.name));
    for (const auto& row : t.rows)
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], ScreenWidth(row[i]));
    if (options.width != 0)
        Fit(widths, t.columns, options.width);
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
            const bool last = i + 1 == cells.size();
            const std::string cell = t.columns[i].numeric ? cells[i] : Cut(cells[i], widths[i]);
            const size_t shown = ScreenWidth(cell);
            const size_t pad = widths[i] > shown ? widths[i] - shown : 0;
            if (t.columns[i].numeric) {
                text.append(pad, ' ');
                text += cell;
            } else {
                text += cell;
                if (!last)
                    text.append(pad, ' ');
            }
            if (!last)
                text += "  ";
        }
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
        out << text << '\n';
    };
    std::vector<std::string> names;
    for (const Column& c : t.columns)
        names.push_back(c.name);
    if (!options.noHeaders)
        line(names);
    for (const auto& row : t.rows)
        line(row);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The columns asked for, in that order, by field name or label (without regard to case).
ResultTable Select(const ResultTable& t, const std::vector<std::string>& names) {
    if (names.empty())
        return t;
    const auto same = SameName;
    std::vector<size_t> picked;
    for (const std::string& name : names)
        for (size_t i = 0; i < t.columns.size(); ++i)
            if (same(name, t.columns[i].name) || same(name, t.columns[i].label))
                picked.push_back(i);
    ResultTable s;
    s.single = t.single;
    s.records = t.records;
    for (const size_t i : picked)
        s.columns.push_back(t.columns[i]);
    for (const auto& row : t.rows) {
        std::vector<std::string> cells;
        for (const size_t i : picked)
            cells.push_back(i < row.size() ? row[i] : std::string());
        s.rows.push_back(std::move(cells));
    }
    return s;
}

std::string CsvCell(const std::string& cell) {
    if (cell.find_first_of(",\"\r\n") == std::string::npos)
        return cell;
    std::string quoted = "\"";
    for (const char c : cell) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

void PrintCsv(const ResultTable& t, bool labels, bool headers, std::ostream& out) {
    for (size_t i = 0; headers && i < t.columns.size(); ++i)
        out << (i ? "," : "") << CsvCell(Heading(t.columns[i], labels));
    if (headers)
        out << "\r\n";
    for (const auto& row : t.rows) {
        for (size_t i = 0; i < row.size(); ++i)
            out << (i ? "," : "") << CsvCell(row[i]);
        out << "\r\n";
    }
}

nlohmann::ordered_json JsonCell(const Column& c, const std::string& cell) {
    if (c.numeric) {
        char* end = nullptr;
        const double v = std::strtod(cell.c_str(), &end);
        if (!cell.empty() && *end == '\0') {
            if (cell.find_first_of(".eE") == std::string::npos)
                return nlohmann::ordered_json(std::strtoll(cell.c_str(), nullptr, 10));
            return nlohmann::ordered_json(v);
        }
    }
    return nlohmann::ordered_json(cell);
}

// The records of a value type in their shared form; with columns picked, only those, in that order.
nlohmann::ordered_json RecordsJson(const ResultTable& t, bool labels, bool picked) {
    nlohmann::ordered_json doc = t.records(labels ? &Labels() : nullptr);
    if (!picked)
        return doc;
    auto pick = [&](const nlohmann::ordered_json& whole) {
        nlohmann::ordered_json obj = nlohmann::ordered_json::object();
        for (const Column& c : t.columns)
            if (const auto at = whole.find(Heading(c, labels)); at != whole.end())
                obj[at.key()] = *at;
        return obj;
    };
    if (doc.is_object())
        return pick(doc);
    for (auto& obj : doc)
        obj = pick(obj);
    return doc;
}

void PrintJson(const ResultTable& t, bool labels, bool picked, std::ostream& out) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    if (t.records) {
        rows = RecordsJson(t, labels, picked);
    } else {
        for (const auto& row : t.rows) {
            nlohmann::ordered_json obj = nlohmann::ordered_json::object();
            for (size_t i = 0; i < row.size() && i < t.columns.size(); ++i)
                obj[Heading(t.columns[i], labels)] = JsonCell(t.columns[i], row[i]);
            rows.push_back(std::move(obj));
        }
        if (t.single && rows.size() == 1)
            rows = std::move(rows[0]);
    }
    const nlohmann::ordered_json& doc = rows;
    // Texts are in the server's code page and need not be UTF-8: replace what is not.
    out << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

} // namespace

std::string UnknownColumns(const ResultTable& table, const PrintOptions& options) {
    std::string unknown;
    for (const std::string& name : options.columns) {
        bool found = false;
        for (const Column& c : table.columns)
            found = found || SameName(name, c.name) || SameName(name, c.label);
        if (!found)
            unknown += (unknown.empty() ? "" : ", ") + name;
    }
    if (unknown.empty())
        return unknown;
    std::string known;
    for (const Column& c : table.columns)
        known += (known.empty() ? "" : ", ") + Heading(c, true);
    return "--columns: no column " + unknown + " here; the columns are " + known;
}

bool ParseOutputFormat(const std::string& text, OutputFormat& format) {
    if (text == "table")
        format = OutputFormat::Table;
    else if (text == "json")
        format = OutputFormat::Json;
    else if (text == "csv")
        format = OutputFormat::Csv;
    else
        return false;
    return true;
}

void PrintResult(const ResultTable& all, const PrintOptions& options, std::ostream& out) {
    const ResultTable table = Select(all, options.columns);
    switch (options.format) {
        case OutputFormat::Table:
            PrintAligned(table, options, out);
            break;
        case OutputFormat::Json:
            PrintJson(table, options.labelKeys, !options.columns.empty(), out);
            break;
        case OutputFormat::Csv:
            PrintCsv(table, options.labelKeys, !options.noHeaders, out);
            break;
    }
}

namespace {
ltptools::FieldLabels& LabelStore() {
    static ltptools::FieldLabels labels;
    return labels;
}
} // namespace

const ltptools::FieldLabels& Labels() {
    return LabelStore();
}

void SetLabels(ltptools::FieldLabels labels) {
    LabelStore() = std::move(labels);
}

ResultTable ValueTable(const std::string& name, const std::string& value, bool numeric) {
    ResultTable t;
    t.columns.push_back({name, numeric});
    t.rows.push_back({value});
    t.single = true;
    return t;
}

} // namespace ltpctl
