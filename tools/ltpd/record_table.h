// One catalogue table that stores a record type field for field: listing, finding, adding,
// modifying and deleting by key, and writing its rows as record elements. The catalogue families
// and the MTP servers share it.
#pragma once

#include <string>
#include <vector>

#include "tools/ltpd/body_reader.h"
#include "tools/ltpd/code_page.h"
#include "tools/ltpd/database.h"

namespace ltpd {

struct ColumnLayout {
    std::string column;
    const char* field; // the record field, for messages
    FieldKind kind;
    int width; // text: the record array's size in bytes
};

struct TableLayout {
    const char* table;
    const char* tag;                   // record element tag
    const char* noun;                  // "user", for messages and the log
    std::vector<ColumnLayout> columns; // request wire order; the first is the key
    bool assignedKey;                  // the server numbers new rows
    std::vector<ColumnLayout>
        readOnly; // answered after the request fields, never taken from clients
};

// The layout of a table that stores the described record: a column per field, named as the field
// in lower case, but keyColumn for the key; the fields requests never carry are read-only.
TableLayout DescribedTable(const ltp::detail::RecordDescription& record, const char* table,
                           const char* noun, const char* keyColumn, bool assignedKey);

class RecordTable {
public:
    explicit RecordTable(TableLayout layout);

    const TableLayout& Layout() const { return m_layout; }
    // The key as clients see it, for messages: "user alice", "program 7".
    std::string Describe(const FieldValue& key) const;

    bool CheckWidths(const std::vector<FieldValue>& fields, std::string& error) const;
    bool Exists(Database& db, const FieldValue& key) const;

    // Appends every row, ordered by key, or the rows a WHERE clause picks (bound to `arg`).
    void List(Database& db, const CodePage& cp, std::string& out) const;
    void ListWhere(Database& db, const CodePage& cp, const std::string& where,
                   const std::string& arg, std::string& out) const;
    bool Find(Database& db, const CodePage& cp, const FieldValue& key, std::string& out) const;

    // Inserts the record; with an assigned key the client's key is passed over and the new key
    // returned. Read-only columns start at the values given.
    int64_t Insert(Database& db, const std::vector<FieldValue>& fields,
                   const std::vector<int64_t>& readOnlyValues = {}) const;
    // False when no row has the record's key.
    bool Update(Database& db, const std::vector<FieldValue>& fields) const;
    bool Delete(Database& db, const FieldValue& key) const;

private:
    std::string SelectColumns() const;
    void WriteRow(Statement& s, const CodePage& cp, std::string& out) const;
    static void BindValue(Statement& s, int index, const FieldValue& v);

    TableLayout m_layout;
};

} // namespace ltpd
