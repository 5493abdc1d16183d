// Writes a server's state as the configuration file while its lists arrive. Users, the family
// that grows to hundreds of thousands, are written one by one as the list comes, with only the
// memberships (user to groups) held; the other families are read whole, then written.
#pragma once

#include <vector>

#include <ltpadmin/client.h>

#include "tools/ltpctl/state/model.h"
#include "tools/ltpctl/state/yaml_writer.h"

namespace ltpstate {

// The same document as WriteYaml of Fetch, kept to `families`. Throws what the client throws,
// and YamlWriter::OutOfOrder when the server lists users out of key order (the caller then
// writes from a state read whole, which it sorts).
void Export(ltp::Client& client, const std::vector<Family>& families, const FieldNaming& naming,
            const YamlWriter::Sink& sink);

} // namespace ltpstate
