// The fields that `fcl eval` and `fcl compile` take from --field NAME=TYPE:VALUE.
#pragma once

#include <string>
#include <vector>

#include "record_host.h"
#include "text_codec.h"

namespace fcltool {

// Registers each field with the host and puts its value (code page 932) into `cells`; false
// with a message for a malformed entry or text that cannot be converted.
bool load_command_fields(const std::vector<std::string>& entries, TextCodec& codec, RecordHost& host,
                         std::vector<std::string>& cells, std::string& error);

}  // namespace fcltool
