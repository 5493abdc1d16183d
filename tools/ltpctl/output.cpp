#include "tools/ltpctl/output.h"

#include <algorithm>
#include <cstdlib>
#include <ostream>

#include <nlohmann/json.hpp>

#include "tools/common/display.h"

namespace ltpctl {
namespace {

void PrintAligned(const ResultTable& raw, std::ostream& out) {
    // Server texts may hold escape sequences: a table shows them, it does not obey them.
    ResultTable t = raw;
    for (Column& c : t.columns)
        c.name = ltptools::EscapeControls(c.name);
    for (auto& row : t.rows)
        for (std::string& cell : row)
            cell = ltptools::EscapeControls(cell);
    std::vector<size_t> widths;
    for (const Column& c : t.columns)
        widths.push_back(c.name.size());
    for (const auto& row : t.rows)
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    auto line = [&](const std::vector<std::string>& cells) {
        std::string text;
        for (size_t i = 0; i < cells.size() && i < widths.size(); ++i) {
            const bool last = i + 1 == cells.size();
            const size_t pad = widths[i] - cells[i].size();
            if (t.columns[i].numeric) {
                text.append(pad, ' ');
                text += cells[i];
            } else {
                text += cells[i];
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
    line(names);
    for (const auto& row : t.rows)
        line(row);
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

void PrintCsv(const ResultTable& t, std::ostream& out) {
    for (size_t i = 0; i < t.columns.size(); ++i)
        out << (i ? "," : "") << CsvCell(t.columns[i].name);
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

void PrintJson(const ResultTable& t, std::ostream& out) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const auto& row : t.rows) {
        nlohmann::ordered_json obj = nlohmann::ordered_json::object();
        for (size_t i = 0; i < row.size() && i < t.columns.size(); ++i)
            obj[t.columns[i].name] = JsonCell(t.columns[i], row[i]);
        rows.push_back(std::move(obj));
    }
    const nlohmann::ordered_json& doc = t.single && rows.size() == 1 ? rows[0] : rows;
    // Texts are in the server's code page and need not be UTF-8: replace what is not.
    out << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

} // namespace

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

void PrintResult(const ResultTable& table, OutputFormat format, std::ostream& out) {
    switch (format) {
        case OutputFormat::Table:
            PrintAligned(table, out);
            break;
        case OutputFormat::Json:
            PrintJson(table, out);
            break;
        case OutputFormat::Csv:
            PrintCsv(table, out);
            break;
    }
}

ResultTable ValueTable(const std::string& name, const std::string& value, bool numeric) {
    ResultTable t;
    t.columns.push_back({name, numeric});
    t.rows.push_back({value});
    t.single = true;
    return t;
}

} // namespace ltpctl
