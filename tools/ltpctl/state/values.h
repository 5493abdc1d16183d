// One field's value in the file: how it is written, read, compared and shown. Decimals are
// compared to the sixth place and dates to the second, the precision the wire keeps, so that a
// value read back from a server equals the one that was sent.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <ltpadmin/client.h>

#include "tools/ltpctl/state/yaml_tree.h"

namespace YAML {
class Emitter;
} // namespace YAML

namespace ltpstate {

// How the file names a record's fields: a label when one is configured, else the wire name.
// Both are read back.
struct FieldNaming {
    // The label of kind's field, or nothing. Kinds are record names ("User", "MTPSvr").
    std::function<std::optional<std::string>(std::string_view kind, std::string_view wire)> label;
    // The wire name a label stands for, or nothing.
    std::function<std::optional<std::string>(std::string_view kind, std::string_view label)> wire;
    // The named form of a whole number of kind's field ("Mon-Fri"), or of a value that is no
    // field when kind is empty ("user_rights": "read,edit"); nothing writes the number.
    std::function<std::optional<std::string>(std::string_view kind, std::string_view wire,
                                             std::int32_t value)>
        showWhole;
    // The number a named form (or a plain number) stands for; nothing when it is neither.
    std::function<std::optional<std::int32_t>(std::string_view kind, std::string_view wire,
                                              const std::string& text)>
        readWhole;

    std::string Name(std::string_view kind, std::string_view wire) const;
    // The wire name of a key of the file, or nothing when it names no field of kind.
    template <class T> const ltp::Field<T>* Find(std::string_view key) const;
};

// The first byte of a text the protocol cannot carry inside a record (ltp::find_uncarriable, the
// process's code page), or nothing.
std::optional<char> ForbiddenCharacter(std::string_view text);

std::string WriteDecimal(double value);
std::string WriteDate(double days);                   // ISO-8601 UTC, "0" for no date
bool SameDecimal(double a, double b);                 // to the sixth place
bool SameDate(double a, double b);                    // to the second
std::int64_t DateKey(double days);                    // the second it falls in
bool ReadDate(const std::string& text, double& days); // ISO-8601 or a plain number

// Writes a text so that it reads back byte for byte: as a YAML text when it is UTF-8, else (a
// server's code page) as base64 tagged !!binary, since YAML would replace the bytes.
void EmitText(YAML::Emitter& out, const std::string& text);
// The same as a map's key. A long one is written as an explicit key ("? "), since YAML allows
// plain keys of 1024 characters at most.
void EmitKey(YAML::Emitter& out, const std::string& text);

// The line of a node in the file (1-based).
int LineOf(const YamlNode& node);
// The scalar text of a node (a !!binary one decoded); throws FileError when it is a list or a
// map.
std::string ScalarOf(const YamlNode& node, std::string_view what);

template <class T> std::string ShowValue(const ltp::Field<T>& f, const T& record) {
    switch (f.kind) {
        case ltp::FieldKind::text:
            return record.*f.text;
        case ltp::FieldKind::integer:
            return std::to_string(record.*f.integer);
        case ltp::FieldKind::decimal:
            return WriteDecimal(record.*f.decimal);
        case ltp::FieldKind::date:
            return WriteDate(record.*f.decimal);
    }
    return {};
}

template <class T> bool IsEmptyValue(const ltp::Field<T>& f, const T& record) {
    switch (f.kind) {
        case ltp::FieldKind::text:
            return (record.*f.text).empty();
        case ltp::FieldKind::integer:
            return record.*f.integer == 0;
        default:
            return record.*f.decimal == 0;
    }
}

template <class T> bool SameValue(const ltp::Field<T>& f, const T& a, const T& b) {
    switch (f.kind) {
        case ltp::FieldKind::text:
            return a.*f.text == b.*f.text;
        case ltp::FieldKind::integer:
            return a.*f.integer == b.*f.integer;
        case ltp::FieldKind::decimal:
            return SameDecimal(a.*f.decimal, b.*f.decimal);
        case ltp::FieldKind::date:
            return SameDate(a.*f.decimal, b.*f.decimal);
    }
    return false;
}

// Sets a value of the kind from the file's text, or throws FileError naming what and line.
void ReadKind(ltp::FieldKind kind, const std::string& text, int line, std::string_view what,
              std::string* textValue, std::int32_t* integerValue, double* decimalValue);

template <class T>
void ReadValue(const ltp::Field<T>& f, const std::string& text, int line, std::string_view what,
               T& record, const FieldNaming* naming = nullptr) {
    if (naming && naming->readWhole && f.kind == ltp::FieldKind::integer) {
        if (const auto named = naming->readWhole(ltp::record_name<T>(), f.wire_name, text)) {
            record.*f.integer = *named;
            return;
        }
    }
    ReadKind(f.kind, text, line, what, f.text ? &(record.*f.text) : nullptr,
             f.integer ? &(record.*f.integer) : nullptr,
             f.decimal ? &(record.*f.decimal) : nullptr);
}

template <class T> const ltp::Field<T>* FieldNaming::Find(std::string_view key) const {
    std::optional<std::string> byLabel;
    if (wire)
        byLabel = wire(ltp::record_name<T>(), key);
    const std::string_view name = byLabel ? std::string_view(*byLabel) : key;
    for (const ltp::Field<T>& f : ltp::fields<T>())
        if (name == f.wire_name)
            return &f;
    return nullptr;
}

} // namespace ltpstate
