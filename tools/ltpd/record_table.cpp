#include "tools/ltpd/record_table.h"

#include "tools/ltpd/response_writer.h"

#include <cctype>

namespace ltpd {

TableLayout DescribedTable(const ltp::detail::RecordDescription& record, const char* table,
                           const char* noun, const char* keyColumn, bool assignedKey) {
    TableLayout layout{table, record.tag, noun, {}, assignedKey, {}};
    for (const ltp::detail::FieldDescription& f : record) {
        // Dates travel as decimals.
        const FieldKind kind = f.kind == FieldKind::Date ? FieldKind::Decimal : f.kind;
        std::string column = f.name;
        for (char& c : column)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (layout.columns.empty())
            column = keyColumn;
        const int width = kind == FieldKind::Text ? static_cast<int>(f.width) : 0;
        (f.sent ? layout.columns : layout.readOnly).push_back({column, f.name, kind, width});
    }
    return layout;
}

RecordTable::RecordTable(TableLayout layout) : m_layout(std::move(layout)) {}

std::string RecordTable::Describe(const FieldValue& key) const {
    std::string s = m_layout.noun;
    s += ' ';
    if (key.kind == FieldKind::Whole)
        s += std::to_string(key.number);
    else
        s += "'" + key.text.substr(0, 60) + "'";
    return s;
}

bool RecordTable::CheckWidths(const std::vector<FieldValue>& fields, std::string& error) const {
    for (size_t i = 0; i < m_layout.columns.size() && i < fields.size(); ++i) {
        const ColumnLayout& c = m_layout.columns[i];
        if (c.kind != FieldKind::Text)
            continue;
        if (fields[i].text.size() > static_cast<size_t>(c.width - 1)) {
            error = std::string(c.field) + " longer than " + std::to_string(c.width - 1) + " bytes";
            return false;
        }
    }
    return true;
}

std::string RecordTable::SelectColumns() const {
    std::string cols;
    for (const ColumnLayout& c : m_layout.columns) {
        if (!cols.empty())
            cols += ", ";
        cols += c.column;
    }
    for (const ColumnLayout& c : m_layout.readOnly)
        cols += std::string(", ") + c.column;
    return "SELECT " + cols + " FROM " + m_layout.table;
}

void RecordTable::WriteRow(Statement& s, const CodePage& cp, std::string& out) const {
    RecordWriter w(out, m_layout.tag, cp);
    int col = 0;
    auto put = [&](const ColumnLayout& c) {
        switch (c.kind) {
            case FieldKind::Text:
                w.Text(s.Text(col));
                break;
            case FieldKind::Whole:
                w.Number(static_cast<int32_t>(s.Integer(col)));
                break;
            case FieldKind::Decimal:
            case FieldKind::Date:
                w.Decimal(s.Decimal(col));
                break;
        }
        ++col;
    };
    for (const ColumnLayout& c : m_layout.columns)
        put(c);
    for (const ColumnLayout& c : m_layout.readOnly)
        put(c);
    w.End();
}

void RecordTable::BindValue(Statement& s, int index, const FieldValue& v) {
    switch (v.kind) {
        case FieldKind::Text:
            s.Bind(index, v.text);
            break;
        case FieldKind::Whole:
            s.Bind(index, static_cast<int64_t>(v.number));
            break;
        case FieldKind::Decimal:
        case FieldKind::Date:
            s.Bind(index, v.decimal);
            break;
    }
}

bool RecordTable::Exists(Database& db, const FieldValue& key) const {
    Statement s = db.Prepare(std::string("SELECT 1 FROM ") + m_layout.table + " WHERE " +
                             m_layout.columns[0].column + " = ?1");
    BindValue(s, 1, key);
    return s.Step();
}

void RecordTable::List(Database& db, const CodePage& cp, std::string& out) const {
    Statement s = db.Prepare(SelectColumns() + " ORDER BY " + m_layout.columns[0].column);
    while (s.Step())
        WriteRow(s, cp, out);
}

void RecordTable::ListWhere(Database& db, const CodePage& cp, const std::string& where,
                            const std::string& arg, std::string& out) const {
    Statement s =
        db.Prepare(SelectColumns() + " WHERE " + where + " ORDER BY " + m_layout.columns[0].column);
    s.Bind(1, arg);
    while (s.Step())
        WriteRow(s, cp, out);
}

bool RecordTable::Find(Database& db, const CodePage& cp, const FieldValue& key,
                       std::string& out) const {
    Statement s = db.Prepare(SelectColumns() + " WHERE " + m_layout.columns[0].column + " = ?1");
    BindValue(s, 1, key);
    if (!s.Step())
        return false;
    WriteRow(s, cp, out);
    return true;
}

int64_t RecordTable::Insert(Database& db, const std::vector<FieldValue>& fields,
                            const std::vector<int64_t>& readOnlyValues) const {
    std::string cols, params;
    int n = 0;
    size_t first = m_layout.assignedKey ? 1 : 0;
    for (size_t i = first; i < m_layout.columns.size(); ++i) {
        cols += (n ? ", " : "") + std::string(m_layout.columns[i].column);
        params += (n ? ", ?" : "?") + std::to_string(n + 1);
        ++n;
    }
    for (size_t i = 0; i < m_layout.readOnly.size(); ++i) {
        cols += ", " + std::string(m_layout.readOnly[i].column);
        params += ", ?" + std::to_string(n + 1);
        ++n;
    }
    Statement s = db.Prepare(std::string("INSERT INTO ") + m_layout.table + " (" + cols +
                             ") VALUES (" + params + ")");
    int index = 1;
    for (size_t i = first; i < m_layout.columns.size(); ++i)
        BindValue(s, index++, fields[i]);
    for (size_t i = 0; i < m_layout.readOnly.size(); ++i)
        s.Bind(index++, i < readOnlyValues.size() ? readOnlyValues[i] : int64_t{0});
    s.Run();
    return db.LastInsertId();
}

bool RecordTable::Update(Database& db, const std::vector<FieldValue>& fields) const {
    std::string sets;
    for (size_t i = 1; i < m_layout.columns.size(); ++i)
        sets += (i > 1 ? ", " : "") + std::string(m_layout.columns[i].column) + " = ?" +
                std::to_string(i);
    std::string sql = std::string("UPDATE ") + m_layout.table + " SET " + sets + " WHERE " +
                      m_layout.columns[0].column + " = ?" + std::to_string(m_layout.columns.size());
    Statement s = db.Prepare(sql);
    for (size_t i = 1; i < m_layout.columns.size(); ++i)
        BindValue(s, static_cast<int>(i), fields[i]);
    BindValue(s, static_cast<int>(m_layout.columns.size()), fields[0]);
    s.Run();
    return db.Changes() > 0;
}

bool RecordTable::Delete(Database& db, const FieldValue& key) const {
    Statement s = db.Prepare(std::string("DELETE FROM ") + m_layout.table + " WHERE " +
                             m_layout.columns[0].column + " = ?1");
    BindValue(s, 1, key);
    s.Run();
    return db.Changes() > 0;
}

} // namespace ltpd
