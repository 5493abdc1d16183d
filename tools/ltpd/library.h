// What the server shares with the library beyond its interface: the request catalogue, the record
// descriptions, the text scanner and the code pages, so that both read and write the protocol
// alike.
#pragma once

#include "ltpadmin/platform/codepage.h"
#include "ltpadmin/protocol/catalogue.h"
#include "ltpadmin/protocol/record_fields.h"
#include "ltpadmin/protocol/text_scanner.h"
