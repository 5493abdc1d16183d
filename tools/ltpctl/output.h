// Results as rows under named columns, printed as an aligned table, JSON or CSV. Column names are
// the records' field names, so a script reads the same names the protocol uses.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include <ltpadmin/ltpadmin.h>

#include "tools/common/labels.h"
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
};

// "table", "json" or "csv"; false for anything else.
bool ParseOutputFormat(const std::string& text, OutputFormat& format);

void PrintResult(const ResultTable& table, const PrintOptions& options, std::ostream& out);
inline void PrintResult(const ResultTable& table, OutputFormat format, std::ostream& out) {
    PrintResult(table, PrintOptions{format}, out);
}

// The columns of a record type, one per field.
// The field labels of this run; empty when none are configured.
const ltptools::FieldLabels& Labels();
void SetLabels(ltptools::FieldLabels labels);

template <class T> std::vector<Column> RecordColumns() {
    std::vector<Column> columns;
    for (const FieldInfo& f : RecordFields<T>()) {
        const std::string* label = Labels().Label(RecordName<T>(), f.name);
        columns.push_back({f.name, f.kind == FieldKind::Whole || f.kind == FieldKind::Decimal,
                           label ? *label : std::string(), f.kind == FieldKind::Date});
    }
    return columns;
}

template <class T> std::vector<std::string> RecordRow(const T& record) {
    std::vector<std::string> row;
    for (const FieldInfo& f : RecordFields<T>())
        row.push_back(FieldText(&record, f));
    return row;
}

template <class T> ResultTable RecordTable(const T& record) {
    ResultTable t;
    t.columns = RecordColumns<T>();
    t.rows.push_back(RecordRow(record));
    t.single = true;
    return t;
}

template <class T> ResultTable ListTable(const CList<T*, T*>& list) {
    ResultTable t;
    t.columns = RecordColumns<T>();
    for (POSITION pos = list.GetHeadPosition(); pos;)
        t.rows.push_back(RecordRow(*list.GetNext(pos)));
    return t;
}

// The same for the client's value types: the columns of the record that describes them.
template <class V> using RecordOf = typename ltp::detail::RecordOf<V>::type;

template <class V> std::vector<std::string> ValueRow(const V& value) {
    std::vector<std::string> row;
    for (const ltp::Field<V>& f : ltp::fields<V>())
        row.push_back(FieldText(value, f));
    return row;
}

template <class V> ResultTable ValueRecordTable(const V& value) {
    ResultTable t;
    t.columns = RecordColumns<RecordOf<V>>();
    t.rows.push_back(ValueRow(value));
    t.single = true;
    return t;
}

template <class V> ResultTable ValueListTable(const std::vector<V>& values) {
    ResultTable t;
    t.columns = RecordColumns<RecordOf<V>>();
    for (const V& value : values)
        t.rows.push_back(ValueRow(value));
    return t;
}

// One named value, e.g. the new ProgramID of an add.
ResultTable ValueTable(const std::string& name, const std::string& value, bool numeric);

// Owns the records of a result list: the library appends records the caller must delete.
template <class T> class OwnedList {
public:
    OwnedList() = default;
    OwnedList(const OwnedList&) = delete;
    OwnedList& operator=(const OwnedList&) = delete;
    ~OwnedList() {
        while (!m_list.IsEmpty())
            delete m_list.RemoveHead();
    }
    CList<T*, T*>* get() { return &m_list; }
    const CList<T*, T*>& list() const { return m_list; }

private:
    CList<T*, T*> m_list;
};

} // namespace ltpctl
