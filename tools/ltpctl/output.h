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
#include "tools/ltpctl/record_fields.h"

namespace ltpctl {

enum class OutputFormat { Table, Json, Csv };

struct Column {
    std::string name;
    bool numeric;        // written as a JSON number
    std::string label{}; // what the field means (from the labels file); empty when unknown
    bool date = false;   // an ISO-8601 date, shown with its zone in tables
};

// How a result is printed. Tables show labels and dates for people; JSON and CSV keep wire names
// and plain ISO dates unless labelKeys asks for the labels.
struct PrintOptions {
    OutputFormat format = OutputFormat::Table;
    bool labelKeys = false;             // JSON keys and CSV headers are labels
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
inline void PrintResult(const ResultTable& table, OutputFormat format, std::ostream& out) {
    PrintResult(table, PrintOptions{format}, out);
}

// The field labels of this run; empty when none are configured.
const ltptools::FieldLabels& Labels();
void SetLabels(ltptools::FieldLabels labels);

// The columns of a value type, one per field.
template <class V> std::vector<Column> RecordColumns() {
    std::vector<Column> columns;
    for (const FieldInfo& f : RecordFields<V>()) {
        const std::string* label = Labels().Label(RecordName<V>(), f.name);
        columns.push_back({f.name, f.kind == FieldKind::integer || f.kind == FieldKind::decimal,
                           label ? *label : std::string(), f.kind == FieldKind::date});
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

} // namespace ltpctl
