// Writes a state as the YAML document that export prints and apply reads: stable and made for
// diff (records sorted by their identity, fields in record order, empty fields left out, texts
// quoted only when needed).
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "tools/ltpctl/state/model.h"
#include "tools/ltpctl/state/values.h"

namespace ltpstate {

std::string WriteYaml(const State& state, const FieldNaming& naming);

class YamlWriter;
// Writes the sections the state holds, each sorted, in the file's order.
void WriteSections(YamlWriter& writer, const State& state);

// Writes the same document a section and an entry at a time, so that a list is written while it
// arrives. Sections come in the file's order (information, users, groups, programs, channels,
// globals, mtp) and the entries of a section sorted by key: an entry that sorts before the one
// written last throws OutOfOrder, since what is written cannot be taken back. Text reaches the
// sink in pieces of some tens of kilobytes.
class YamlWriter {
public:
    struct OutOfOrder : std::logic_error {
        using std::logic_error::logic_error;
    };
    using Sink = std::function<void(std::string_view)>;

    YamlWriter(const FieldNaming& naming, Sink sink);

    void Information(const std::string& text);
    void Begin(const char* section);
    void Add(const UserEntry& e);
    void Add(const GroupEntry& e);
    void Add(const ProgramEntry& e);
    void Add(const ChannelEntry& e);
    void Add(const GlobalEntry& e);
    void Add(const MtpEntry& e);
    void End();
    // Writes what is left; a document of no sections is "{}".
    void Finish();

    // Every entry through the YAML emitter, never the direct form for plain texts: the
    // reference the direct form is checked against.
    bool emitterOnly = false;

private:
    void InOrder(const ProgramPath& key);
    template <class E> void Write(const E& e);
    template <class E> bool WriteDirect(const E& e);
    void Flush(bool all);

    const FieldNaming& m_naming;
    Sink m_sink;
    std::string m_buffer;
    const char* m_section = nullptr;
    ProgramPath m_last;
    bool m_anyEntry = false;
    bool m_anySection = false;
};

} // namespace ltpstate
