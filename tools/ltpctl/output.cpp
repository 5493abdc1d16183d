#include "tools/ltpctl/output.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
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

// The cells in the forms the schema gives them; the table then writes no records of its own.
ResultTable Named(const ResultTable& raw) {
    ResultTable t = raw;
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (!t.columns[i].named)
            continue;
        for (auto& row : t.rows)
            if (i < row.size())
                row[i] = t.columns[i].named(row[i]);
        t.columns[i].numeric = false;
        t.columns[i].named = nullptr;
        t.records = nullptr;
    }
    return t;
}

// The table as people read it: named forms, dates with their zone, control bytes shown.
ResultTable ForPeople(const ResultTable& raw, const PrintOptions& options) {
    // Server texts may hold escape sequences: a table shows them, it does not obey them.
    ResultTable t = Named(raw);
    for (Column& c : t.columns)
        c.name = ltptools::EscapeControls(Heading(c, true));
    for (auto& row : t.rows)
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = ltptools::EscapeControls(i < t.columns.size() && t.columns[i].date
                                                  ? DateForPeople(row[i], options.localDates)
                                                  : row[i]);
    return t;
}

// The width of each column of a table ForPeople made: its widest cell (and name), fit to the
// screen when one is given.
std::vector<size_t> Widths(const ResultTable& t, const PrintOptions& options) {
    std::vector<size_t> widths;
    for (const Column& c : t.columns)
        widths.push_back(options.noHeaders ? 0 : ScreenWidth(c.name));
    for (const auto& row : t.rows)
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], ScreenWidth(row[i]));
    if (options.width != 0)
        Fit(widths, t.columns, options.width);
    return widths;
}

// One line of an aligned table: numbers to the right, texts to the left and cut to their width.
// Unless cut is false: then a text wider than its column is shown whole.
void AlignedLine(const std::vector<Column>& columns, const std::vector<size_t>& widths,
                 const std::vector<std::string>& cells, std::ostream& out, bool cut = true) {
    std::string text;
    for (size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
        const bool last = i + 1 == cells.size();
        const std::string cell = columns[i].numeric || !cut ? cells[i] : Cut(cells[i], widths[i]);
        const size_t shown = ScreenWidth(cell);
        const size_t pad = widths[i] > shown ? widths[i] - shown : 0;
        if (columns[i].numeric) {
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
}

void PrintAligned(const ResultTable& raw, const PrintOptions& options, std::ostream& out) {
    const ResultTable t = ForPeople(raw, options);
    const std::vector<size_t> widths = Widths(t, options);
    std::vector<std::string> names;
    for (const Column& c : t.columns)
        names.push_back(c.name);
    if (!options.noHeaders)
        AlignedLine(t.columns, widths, names, out);
    for (const auto& row : t.rows)
        AlignedLine(t.columns, widths, row, out);
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

// The rows as JSON objects, in an array.
nlohmann::ordered_json JsonRows(const ResultTable& t, bool labels, bool picked) {
    if (t.records)
        return RecordsJson(t, labels, picked);
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const auto& row : t.rows) {
        nlohmann::ordered_json obj = nlohmann::ordered_json::object();
        for (size_t i = 0; i < row.size() && i < t.columns.size(); ++i)
            obj[Heading(t.columns[i], labels)] = JsonCell(t.columns[i], row[i]);
        rows.push_back(std::move(obj));
    }
    return rows;
}

// Texts are in the server's code page and need not be UTF-8: what is not is replaced.
std::string JsonText(const nlohmann::ordered_json& doc) {
    return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void PrintJson(const ResultTable& t, bool labels, bool picked, std::ostream& out) {
    nlohmann::ordered_json rows = JsonRows(t, labels, picked);
    if (!t.records && t.single && rows.size() == 1)
        rows = std::move(rows[0]);
    out << JsonText(rows) << '\n';
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
    const ResultTable picked = Select(all, options.columns);
    const ResultTable table = options.namedValues ? Named(picked) : picked;
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

// Rows a table without headers holds before it sets its widths: a list up to this long aligns
// as a whole.
constexpr size_t kMeasuredRows = 1000;

bool ListPrinter::Streams(const PrintOptions& options) {
    return options.format != OutputFormat::Table || options.noHeaders;
}

ListPrinter::ListPrinter(std::vector<Column> columns, const PrintOptions& options,
                         std::ostream& out)
    : m_options(options), m_out(out) {
    m_empty.columns = std::move(columns);
}

void ListPrinter::Add(const ResultTable& one) {
    const ResultTable picked = Select(one, m_options.columns);
    const ResultTable table = m_options.namedValues ? Named(picked) : picked;
    const bool first = m_rows == 0;
    ++m_rows;
    switch (m_options.format) {
        case OutputFormat::Json: {
            // As the array's dump writes each element: one level in, after "[" or ",".
            for (const auto& element :
                 JsonRows(table, m_options.labelKeys, !m_options.columns.empty())) {
                std::string text = JsonText(element);
                std::string indented = first ? "[\n  " : ",\n  ";
                for (const char c : text) {
                    indented += c;
                    if (c == '\n')
                        indented += "  ";
                }
                m_out << indented;
            }
            break;
        }
        case OutputFormat::Csv:
            PrintCsv(table, m_options.labelKeys, first && !m_options.noHeaders, m_out);
            break;
        case OutputFormat::Table: {
            ResultTable people = ForPeople(table, m_options);
            if (m_held.columns.empty())
                m_held.columns = people.columns;
            if (m_measured.empty()) {
                for (auto& row : people.rows)
                    m_held.rows.push_back(std::move(row));
                if (m_held.rows.size() >= kMeasuredRows)
                    FlushHeld();
            } else {
                // Not fit to a screen, a later, wider cell is shown whole, not cut to the
                // widths of the first rows.
                for (const auto& row : people.rows)
                    AlignedLine(m_held.columns, m_measured, row, m_out, m_options.width != 0);
            }
            break;
        }
    }
    m_out.flush();
}

void ListPrinter::FlushHeld() {
    if (m_held.rows.empty())
        return;
    m_measured = Widths(m_held, m_options);
    for (const auto& row : m_held.rows)
        AlignedLine(m_held.columns, m_measured, row, m_out);
    m_held.rows.clear();
}

void ListPrinter::Finish(bool complete) {
    switch (m_options.format) {
        case OutputFormat::Json:
            if (m_rows != 0)
                m_out << "\n]\n";
            else if (complete)
                m_out << "[]\n";
            break;
        case OutputFormat::Csv:
            if (m_rows == 0 && complete && !m_options.noHeaders) {
                ResultTable none;
                none.columns = Select(m_empty, m_options.columns).columns;
                PrintCsv(none, m_options.labelKeys, true, m_out);
            }
            break;
        case OutputFormat::Table:
            FlushHeld();
            break;
    }
    m_out.flush();
}

namespace {
ltptools::Schema& SchemaStore() {
    static ltptools::Schema schema;
    return schema;
}

RefSource& RefSourceStore() {
    static RefSource source;
    return source;
}

bool ReadWhole(const std::string& cell, std::int32_t& value) {
    return ltp::parse_integer(cell, value);
}

std::function<std::string(const std::string&)> FormOf(const ltptools::Meaning& m) {
    switch (m.kind) {
        case ltptools::ValueKind::bits:
        case ltptools::ValueKind::enumeration:
            return [m](const std::string& cell) {
                std::int32_t v = 0;
                return ReadWhole(cell, v) ? ltptools::FormatWhole(RunSchema(), m, v) : cell;
            };
        case ltptools::ValueKind::minutes:
            return [](const std::string& cell) {
                char* end = nullptr;
                const double v = std::strtod(cell.c_str(), &end);
                return cell.empty() || *end ? cell : ltptools::FormatMinutes(v);
            };
        case ltptools::ValueKind::date:
            if (m.none)
                return [none = *m.none](const std::string& cell) {
                    double days = 0;
                    std::string error;
                    return ltptools::ParseIsoDate(cell, days, error) && days == none ? std::string()
                                                                                     : cell;
                };
            break;
        default:
            break;
    }
    if (!m.unit.empty())
        return [unit = m.unit](const std::string& cell) {
            return cell.empty() ? cell : cell + " " + unit;
        };
    return {};
}
} // namespace

const ltptools::Schema& RunSchema() {
    return SchemaStore();
}

void SetSchema(ltptools::Schema schema) {
    SchemaStore() = std::move(schema);
}

const ltptools::FieldLabels& Labels() {
    return SchemaStore().Labels();
}

void SetRefSource(RefSource source) {
    RefSourceStore() = std::move(source);
}

std::vector<ltptools::RefCandidate> RefCandidates(const std::string& kind) {
    return RefSourceStore() ? RefSourceStore()(kind) : std::vector<ltptools::RefCandidate>();
}

std::function<std::string(const std::string&)> NamedForm(const char* record, const char* wire,
                                                         FieldKind wireKind) {
    const ltptools::FieldMeaning* m = RunSchema().Field(record, wire);
    if (!m)
        return {};
    if (m->kind == ltptools::ValueKind::ref) {
        // A text key is a name already; a number shows with the name of its record.
        if (wireKind == FieldKind::text || !RunSchema().Display(m->ref))
            return {};
        auto names = std::make_shared<std::map<std::string, std::string>>();
        auto read = std::make_shared<bool>(false);
        return [names, read, kind = m->ref](const std::string& cell) {
            if (!*read) {
                *read = true;
                for (const ltptools::RefCandidate& c : RefCandidates(kind))
                    (*names)[c.key] = c.name;
            }
            const auto found = names->find(cell);
            return found == names->end() || cell == "0"
                       ? cell
                       : ltptools::FormatRef(cell, found->second, false);
        };
    }
    return FormOf(*m);
}

std::function<std::string(const std::string&)> NamedValueForm(const std::string& value) {
    const ltptools::Meaning* m = RunSchema().Value(value);
    return m ? FormOf(*m) : std::function<std::string(const std::string&)>();
}

ResultTable MeaningTable(const std::string& name, std::int32_t value, const std::string& meaning) {
    ResultTable t = ValueTable(name, std::to_string(value), true);
    t.columns[0].named = NamedValueForm(meaning);
    return t;
}

ResultTable ValueTable(const std::string& name, const std::string& value, bool numeric) {
    ResultTable t;
    t.columns.push_back({name, numeric});
    t.rows.push_back({value});
    t.single = true;
    return t;
}

} // namespace ltpctl
