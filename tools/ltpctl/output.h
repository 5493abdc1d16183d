// Results as rows under named columns, printed as an aligned table, JSON or CSV. Column names are
// the records' field names, so a script reads the same names the protocol uses.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "tools/common/labels.h"
#include "tools/common/record_json.h"
#include "tools/common/schema.h"
#include "tools/common/value_forms.h"
#include "tools/ltpctl/record_fields.h"

namespace ltpctl {

enum class OutputFormat { Table, Json, Csv };

struct Column {
    std::string name;
    bool numeric;        // written as a JSON number
    std::string label{}; // what the field means (from the labels file); empty when unknown
    bool date = false;   // an ISO-8601 date, shown with its zone in tables
    // The cell in the form the schema gives it ("Mon-Fri", "1 News"); unset: as it is. Tables
    // use it, JSON and CSV when asked (scripts rely on wire values).
    std::function<std::string(const std::string&)> named{};
};

// How a result is printed. Tables show labels and dates for people; JSON and CSV keep wire names
// and plain ISO dates unless labelKeys asks for the labels.
struct PrintOptions {
    OutputFormat format = OutputFormat::Table;
    bool labelKeys = false;             // JSON keys and CSV headers are labels
    bool namedValues = false;           // JSON and CSV values in the named forms tables show
    bool localDates = false;            // tables show local time with its offset instead of UTC
    std::vector<std::string> columns{}; // only these, in this order (names or labels); all if empty
    bool noHeaders = false;             // tables and CSV without the line of names
    std::size_t width = 0;              // tables narrower than this (long cells cut); 0: any
};

struct ResultTable {
    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
    // One object, not a list: JSON prints an object instead of an array of objects.
    bool single = false;
    // Set for records of a value type: JSON writes them in the form the web console and the
    // configuration files share (given the labels when keys are labels), not from the cells.
    std::function<nlohmann::ordered_json(const ltptools::FieldLabels*)> records{};
};

// Empty when every name of options.columns names a column of the table (by name or label);
// else a message naming the unknown ones and the columns there are.
std::string UnknownColumns(const ResultTable& table, const PrintOptions& options);

// "table", "json" or "csv"; false for anything else.
bool ParseOutputFormat(const std::string& text, OutputFormat& format);

void PrintResult(const ResultTable& table, const PrintOptions& options, std::ostream& out);

// A list printed row by row as its records arrive, in the bytes PrintResult writes for the whole
// list: JSON and CSV at once; a table without headers holds its first thousand rows to set the
// widths (a longer list keeps those widths, and a later, wider cell shows whole unless the table
// is fit to a screen). After a failure, Finish(false) keeps what was written and closes the JSON
// array, so that the output stays well-formed; nothing is written when no row came.
class ListPrinter {
public:
    // Whether the options let a list be printed as it arrives (a table with headers is aligned
    // under them over every row, so it holds the whole list).
    static bool Streams(const PrintOptions& options);
    ListPrinter(std::vector<Column> columns, const PrintOptions& options, std::ostream& out);
    // One record: a table of one row with the list's columns (and its JSON, when it has one).
    void Add(const ResultTable& one);
    // complete: the list is whole, and an empty one prints as PrintResult prints it.
    void Finish(bool complete);

private:
    void FlushHeld();

    PrintOptions m_options;
    std::ostream& m_out;
    ResultTable m_empty;                 // the columns, for the heading of an empty list
    std::size_t m_rows = 0;              // rows added
    ResultTable m_held;                  // a table's first rows, before its widths are set
    std::vector<std::size_t> m_measured; // set once the first rows are printed
};
inline void PrintResult(const ResultTable& table, OutputFormat format, std::ostream& out) {
    PrintResult(table, PrintOptions{format}, out);
}

// The schema of this run: without a file, the protocol's kinds and no names.
const ltptools::Schema& RunSchema();
void SetSchema(ltptools::Schema schema);
// The field labels of this run (the schema's); empty when none are configured.
const ltptools::FieldLabels& Labels();

// Where references find the records they may name (key and display name): the run's connection
// while there is one; without one, references show and take numbers only.
using RefSource = std::function<std::vector<ltptools::RefCandidate>(const std::string& kind)>;
void SetRefSource(RefSource source);
std::vector<ltptools::RefCandidate> RefCandidates(const std::string& kind);

// How a cell of the field reads for people, from the schema; unset when as it is. References
// read their records once, when first shown.
std::function<std::string(const std::string&)> NamedForm(const char* record, const char* wire,
                                                         FieldKind wireKind);
// The same for a value that is no field ("user_rights").
std::function<std::string(const std::string&)> NamedValueForm(const std::string& value);

// The columns of a value type, one per field.
template <class V> std::vector<Column> RecordColumns() {
    std::vector<Column> columns;
    for (const FieldInfo& f : RecordFields<V>()) {
        const std::string* label = Labels().Label(RecordName<V>(), f.name);
        columns.push_back({f.name, f.kind == FieldKind::integer || f.kind == FieldKind::decimal,
                           label ? *label : std::string(), f.kind == FieldKind::date,
                           NamedForm(RecordName<V>(), f.name, f.kind)});
    }
    return columns;
}

template <class V> std::vector<std::string> ValueRow(const V& value) {
    std::vector<std::string> row;
    for (const FieldInfo& f : RecordFields<V>())
        row.push_back(FieldText(value, f));
    return row;
}

template <class V> ResultTable ValueRecordTable(const V& value) {
    ResultTable t;
    t.columns = RecordColumns<V>();
    t.rows.push_back(ValueRow(value));
    t.single = true;
    t.records = [value](const ltptools::FieldLabels* labels) {
        return ltptools::RecordToJson(value, labels);
    };
    return t;
}

// One record as a table of one row for ListPrinter; it refers to value, which must outlive it.
template <class V> ResultTable ValueRowTable(const std::vector<Column>& columns, const V& value) {
    ResultTable t;
    t.columns = columns;
    t.rows.push_back(ValueRow(value));
    t.records = [&value](const ltptools::FieldLabels* labels) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        list.push_back(ltptools::RecordToJson(value, labels));
        return list;
    };
    return t;
}

// Takes the values: the table keeps them for JSON instead of a copy.
template <class V> ResultTable ValueListTable(std::vector<V> values) {
    ResultTable t;
    t.columns = RecordColumns<V>();
    t.rows.reserve(values.size());
    for (const V& value : values)
        t.rows.push_back(ValueRow(value));
    auto kept = std::make_shared<const std::vector<V>>(std::move(values));
    t.records = [kept](const ltptools::FieldLabels* labels) {
        return ltptools::RecordsToJson(*kept, labels);
    };
    return t;
}

// One named value, e.g. the new ProgramID of an add.
ResultTable ValueTable(const std::string& name, const std::string& value, bool numeric);
// One whole number whose meaning the schema may give under meaning ("user_rights").
ResultTable MeaningTable(const std::string& name, std::int32_t value, const std::string& meaning);

} // namespace ltpctl
