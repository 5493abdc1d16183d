// Results as rows under named columns, printed as an aligned table, JSON or CSV. Column names are
// the records' field names, so a script reads the same names the protocol uses.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include <ltpadmin/ltpadmin.h>

#include "tools/ltpctl/record_fields.h"

namespace ltpctl {

enum class OutputFormat { Table, Json, Csv };

struct Column {
    std::string name;
    bool numeric; // written as a JSON number
};

struct ResultTable {
    std::vector<Column> columns;
    std::vector<std::vector<std::string>> rows;
    // One object, not a list: JSON prints an object instead of an array of objects.
    bool single = false;
};

// "table", "json" or "csv"; false for anything else.
bool ParseOutputFormat(const std::string& text, OutputFormat& format);

void PrintResult(const ResultTable& table, OutputFormat format, std::ostream& out);

// The columns of a record type, one per field.
template <class T> std::vector<Column> RecordColumns() {
    std::vector<Column> columns;
    for (const FieldInfo& f : RecordFields<T>())
        columns.push_back({f.name, f.kind == FieldKind::Whole || f.kind == FieldKind::Decimal});
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
