#include "tools/common/schema.h"

#include <ltpadmin/ltp/wire.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <tuple>

#include <ltpadmin/client.h>
#include <toml++/toml.h>

#include "tools/common/config_error.h"

namespace ltptools {
namespace {

ValueKind FromWire(ltp::FieldKind kind) {
    switch (kind) {
        case ltp::FieldKind::text:
            return ValueKind::text;
        case ltp::FieldKind::integer:
            return ValueKind::integer;
        case ltp::FieldKind::decimal:
            return ValueKind::decimal;
        case ltp::FieldKind::date:
            return ValueKind::date;
    }
    return ValueKind::text;
}

bool KindFromName(std::string_view name, ValueKind& kind) {
    for (const ValueKind k :
         {ValueKind::text, ValueKind::integer, ValueKind::decimal, ValueKind::date,
          ValueKind::minutes, ValueKind::bits, ValueKind::enumeration, ValueKind::ref})
        if (name == ValueKindName(k)) {
            kind = k;
            return true;
        }
    return false;
}

// Whether a wire field of that kind can carry values of meaning: bits, enumerations and numeric
// references are whole numbers, dates and minutes numbers, references by name texts.
bool Carries(ValueKind wire, ValueKind meaning) {
    const bool whole = wire == ValueKind::integer;
    const bool number = whole || wire == ValueKind::decimal || wire == ValueKind::date;
    switch (meaning) {
        case ValueKind::text:
            return wire == ValueKind::text;
        case ValueKind::integer:
        case ValueKind::bits:
        case ValueKind::enumeration:
            return whole;
        case ValueKind::decimal:
        case ValueKind::date:
            return wire == ValueKind::decimal || wire == ValueKind::date;
        case ValueKind::minutes:
            return number;
        case ValueKind::ref:
            return whole || wire == ValueKind::text;
    }
    return false;
}

// A name in a bit set or enumeration: printable, no blank, no ',' (which lists names).
bool IsValueName(std::string_view name, bool ranges) {
    if (name.empty() || name.size() > 64 || std::isdigit(static_cast<unsigned char>(name[0])))
        return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '|' || c == '<' ||
            (ranges && c == '-'))
            return false;
    return true;
}

} // namespace

const char* ValueKindName(ValueKind kind) {
    switch (kind) {
        case ValueKind::text:
            return "text";
        case ValueKind::integer:
            return "integer";
        case ValueKind::decimal:
            return "decimal";
        case ValueKind::date:
            return "date";
        case ValueKind::minutes:
            return "minutes";
        case ValueKind::bits:
            return "bits";
        case ValueKind::enumeration:
            return "enum";
        case ValueKind::ref:
            return "ref";
    }
    return "text";
}

// Reads the TOML document into a schema, checking every name it uses.
struct SchemaBuilder {
    Schema& schema;
    const std::string& source;

    [[noreturn]] void Fail(const std::string& what) const {
        throw ConfigError(source + ": " + what);
    }

    void Defaults() {
        std::apply(
            [&](const auto&... records) { (AddRecord<std::decay_t<decltype(records)>>(), ...); },
            ltp::RecordTypes{});
    }

    template <class V> void AddRecord() {
        auto& fields = schema.m_fields[ltp::record_name<V>()];
        for (const ltp::Field<V>& f : ltp::fields<V>()) {
            FieldMeaning m;
            m.kind = FromWire(f.kind);
            m.answerOnly = !f.sent;
            fields.emplace(f.wire_name, m);
        }
    }

    std::string Text(const toml::node& node, const std::string& what) const {
        const std::optional<std::string> text = node.value<std::string>();
        if (!text)
            Fail(what + " must be a text");
        return *text;
    }

    bool Flag(const toml::node& node, const std::string& what) const {
        const std::optional<bool> flag = node.value<bool>();
        if (!flag)
            Fail(what + " must be true or false");
        return *flag;
    }

    void ReadBits(const toml::table& sets) {
        for (const auto& [key, node] : sets) {
            const std::string name(key.str());
            const toml::table* set = node.as_table();
            if (!set)
                Fail("bits." + name + " must be a table (names = [...])");
            BitNames bits;
            if (const toml::node* r = set->get("ranges"))
                bits.ranges = Flag(*r, "bits." + name + ".ranges");
            const toml::array* names = set->get_as<toml::array>("names");
            if (!names || names->empty() || names->size() > 32)
                Fail("bits." + name + ".names must list 1 to 32 names, the first for the bit 1");
            for (const toml::node& n : *names) {
                const std::string bit = Text(n, "a name in bits." + name + ".names");
                if (!IsValueName(bit, bits.ranges))
                    Fail("'" + bit + "' in bits." + name +
                         " is no name (no digit first, no blank or ','" +
                         (bits.ranges ? ", no '-'" : "") + ")");
                for (const std::string& other : bits.names)
                    if (Lower(other) == Lower(bit))
                        Fail("'" + bit + "' is given twice in bits." + name);
                bits.names.push_back(bit);
            }
            for (const auto& [k, v] : *set)
                if (k.str() != "names" && k.str() != "ranges")
                    Fail("bits." + name + " has no setting '" + std::string(k.str()) + "'");
            schema.m_bits[name] = std::move(bits);
        }
    }

    void ReadEnums(const toml::table& enums) {
        for (const auto& [key, node] : enums) {
            const std::string name(key.str());
            const toml::table* values = node.as_table();
            if (!values)
                Fail("enums." + name + " must be a table of values (\"0\" = \"off\")");
            EnumNames names;
            for (const auto& [k, v] : *values) {
                const std::string number(k.str());
                std::int32_t value = 0;
                if (!ltp::parse_integer(number, value))
                    Fail("enums." + name + ": '" + number + "' is no whole number");
                const std::string label = Text(v, "enums." + name + "." + number);
                if (!IsValueName(label, false))
                    Fail("'" + label + "' in enums." + name + " is no name");
                for (const auto& other : names)
                    if (Lower(other.second) == Lower(label))
                        Fail("'" + label + "' is given twice in enums." + name);
                names.emplace_back(static_cast<std::int32_t>(value), label);
            }
            schema.m_enums[name] = std::move(names);
        }
    }

    // The settings a value has wherever it is (field or not).
    bool ReadMeaning(std::string_view key, const toml::node& node, Meaning& m, bool& kindGiven,
                     const std::string& where) const {
        if (key == "kind") {
            const std::string name = Text(node, where + ".kind");
            if (!KindFromName(name, m.kind))
                Fail(where + ".kind '" + name +
                     "' is none of text, integer, decimal, date, minutes, bits, enum, ref");
            kindGiven = true;
        } else if (key == "bits") {
            m.bits = Text(node, where + ".bits");
        } else if (key == "enum") {
            m.enumeration = Text(node, where + ".enum");
        } else if (key == "ref") {
            m.ref = Text(node, where + ".ref");
        } else if (key == "unit") {
            m.unit = Text(node, where + ".unit");
        } else if (key == "none") {
            const std::optional<double> none = node.value<double>();
            if (!none)
                Fail(where + ".none must be a number");
            m.none = *none;
        } else {
            return false;
        }
        return true;
    }

    // A set name names something that exists, and the kind asks for it.
    void CheckMeaning(Meaning& m, bool kindGiven, const std::string& where) const {
        if (!kindGiven) {
            // bits = "rights" alone says the kind too.
            if (!m.bits.empty())
                m.kind = ValueKind::bits;
            else if (!m.enumeration.empty())
                m.kind = ValueKind::enumeration;
            else if (!m.ref.empty())
                m.kind = ValueKind::ref;
        }
        if (m.kind == ValueKind::bits && !schema.Bits(m.bits))
            Fail(where + " names bits '" + m.bits + "', which no [bits." +
                 (m.bits.empty() ? std::string("NAME") : m.bits) + "] gives");
        if (m.kind == ValueKind::enumeration && !schema.Enum(m.enumeration))
            Fail(where + " names enum '" + m.enumeration + "', which no [enums." +
                 (m.enumeration.empty() ? std::string("NAME") : m.enumeration) + "] gives");
        if (m.kind == ValueKind::ref && schema.m_fields.find(m.ref) == schema.m_fields.end())
            Fail(where + " refers to '" + m.ref + "', which is no record kind");
    }

    void ReadValues(const toml::table& values) {
        for (const auto& [key, node] : values) {
            const std::string name(key.str());
            const std::string where = "values." + name;
            const toml::table* settings = node.as_table();
            if (!settings)
                Fail(where + " must be a table ({ kind = \"bits\", bits = \"rights\" })");
            Meaning m;
            m.kind = ValueKind::integer;
            bool kindGiven = false;
            for (const auto& [k, v] : *settings)
                if (!ReadMeaning(k.str(), v, m, kindGiven, where))
                    Fail(where + " has no setting '" + std::string(k.str()) + "'");
            CheckMeaning(m, kindGiven, where);
            schema.m_values[name] = m;
        }
    }

    void ReadField(const std::string& kind, const std::string& wire, const toml::node& node) {
        const std::string where = kind + "." + wire;
        auto& fields = schema.m_fields[kind];
        const auto known = fields.find(wire);
        const bool protocol = known != fields.end();
        FieldMeaning m = protocol ? known->second : FieldMeaning{};
        const ValueKind wireKind = m.kind;
        if (node.is_string()) {
            m.label = Text(node, where);
        } else if (const toml::table* settings = node.as_table()) {
            bool kindGiven = false;
            for (const auto& [k, v] : *settings) {
                const std::string key(k.str());
                if (ReadMeaning(key, v, m, kindGiven, where))
                    continue;
                if (key == "label") {
                    m.label = Text(v, where + ".label");
                } else if (key == "help") {
                    m.help = Text(v, where + ".help");
                } else if (key == "max") {
                    const std::optional<std::int64_t> max = v.value<std::int64_t>();
                    if (!max || *max < 0)
                        Fail(where + ".max must be a whole number of bytes, 0 or more");
                    m.max = static_cast<std::size_t>(*max);
                } else if (key == "assigned") {
                    m.assigned = Flag(v, where + ".assigned");
                } else if (key == "answer_only") {
                    m.answerOnly = Flag(v, where + ".answer_only");
                } else if (key == "hidden") {
                    m.hidden = Flag(v, where + ".hidden");
                } else {
                    Fail(where + " has no setting '" + key + "'");
                }
            }
            pending.push_back({where, kind, wire, kindGiven});
            if (protocol && kindGiven && !Carries(wireKind, m.kind))
                Fail(where + " cannot hold a " + std::string(ValueKindName(m.kind)) +
                     " value: the protocol carries it as " + ValueKindName(wireKind));
        } else {
            Fail("the label of " + where + " must be a text, or its meaning a table");
        }
        if (!m.label.empty())
            schema.m_labels.Add(kind, wire, m.label, source);
        fields[wire] = m;
    }

    void ReadRecord(const std::string& kind, const toml::table& fields) {
        for (const auto& [key, node] : fields) {
            const std::string wire(key.str());
            if (wire == "display") {
                const std::string field = Text(node, kind + ".display");
                schema.m_display[kind] = field;
                continue;
            }
            ReadField(kind, wire, node);
        }
    }

    struct Pending {
        std::string where, kind, wire;
        bool kindGiven;
    };
    std::vector<Pending> pending;

    void Read(const toml::table& doc) {
        Defaults();
        // Sets first, so that fields may name them wherever they stand in the file.
        if (const toml::node* bits = doc.get("bits")) {
            if (!bits->is_table())
                Fail("'bits' must be a table of bit sets");
            ReadBits(*bits->as_table());
        }
        if (const toml::node* enums = doc.get("enums")) {
            if (!enums->is_table())
                Fail("'enums' must be a table of enumerations");
            ReadEnums(*enums->as_table());
        }
        for (const auto& [key, node] : doc) {
            const std::string kind(key.str());
            if (kind == "bits" || kind == "enums" || kind == "values")
                continue;
            const toml::table* fields = node.as_table();
            if (!fields)
                Fail("'" + kind + "' must be a table of field labels");
            ReadRecord(kind, *fields);
        }
        if (const toml::node* values = doc.get("values")) {
            if (!values->is_table())
                Fail("'values' must be a table of values");
            ReadValues(*values->as_table());
        }
        for (const Pending& p : pending)
            CheckMeaning(schema.m_fields[p.kind][p.wire], p.kindGiven, p.where);
        for (const auto& [kind, field] : schema.m_display) {
            const auto k = schema.m_fields.find(kind);
            if (k == schema.m_fields.end() || k->second.find(field) == k->second.end())
                Fail(kind + ".display names '" + field + "', which is no field of " + kind);
        }
    }
};

Schema Schema::Load(const std::string& path) {
    try {
        const toml::table doc = toml::parse_file(path);
        Schema schema;
        SchemaBuilder{schema, path, {}}.Read(doc);
        return schema;
    } catch (const toml::parse_error& e) {
        throw ConfigError(path + ": " + std::string(e.description()));
    }
}

Schema Schema::Parse(std::string_view text, const std::string& source) {
    try {
        const toml::table doc = toml::parse(text, source);
        Schema schema;
        SchemaBuilder{schema, source, {}}.Read(doc);
        return schema;
    } catch (const toml::parse_error& e) {
        throw ConfigError(source + ": " + std::string(e.description()));
    }
}

const FieldMeaning* Schema::Field(std::string_view kind, std::string_view wire) const {
    if (m_fields.empty()) {
        // A schema made without a file knows the protocol's kinds all the same.
        static const Schema protocol = Parse("", "the protocol");
        return protocol.Field(kind, wire);
    }
    const auto k = m_fields.find(kind);
    if (k == m_fields.end())
        return nullptr;
    const auto f = k->second.find(wire);
    return f == k->second.end() ? nullptr : &f->second;
}

const std::string* Schema::Display(std::string_view kind) const {
    const auto d = m_display.find(kind);
    return d == m_display.end() ? nullptr : &d->second;
}

const Meaning* Schema::Value(std::string_view name) const {
    const auto v = m_values.find(name);
    return v == m_values.end() ? nullptr : &v->second;
}

const BitNames* Schema::Bits(std::string_view name) const {
    const auto b = m_bits.find(name);
    return b == m_bits.end() ? nullptr : &b->second;
}

const EnumNames* Schema::Enum(std::string_view name) const {
    const auto e = m_enums.find(name);
    return e == m_enums.end() ? nullptr : &e->second;
}

} // namespace ltptools
