// Arbitrary bytes as a configuration file: the reader either refuses them with a line or gives a
// state that the writer turns into a document reading back to the same document.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/ltpctl/state/file_error.h"
#include "tools/ltpctl/state/yaml_reader.h"
#include "tools/ltpctl/state/yaml_writer.h"

namespace {

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ltpstate::FieldNaming naming;
    ltpstate::State state;
    try {
        state = ltpstate::ReadYaml(text, naming);
    } catch (const ltpstate::FileError& e) {
        Require(e.line() >= 0);
        return 0;
    }
    const std::string written = ltpstate::WriteYaml(state, naming);
    ltpstate::State again;
    try {
        again = ltpstate::ReadYaml(written, naming);
    } catch (const ltpstate::FileError&) {
        Require(false); // what the writer wrote must read back
    }
    Require(ltpstate::WriteYaml(again, naming) == written);
    return 0;
}
