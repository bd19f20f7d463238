#include "command_fields.h"

#include "field_types.h"

namespace fcltool {

bool load_command_fields(const std::vector<std::string>& entries, TextCodec& codec, RecordHost& host,
                         std::vector<std::string>& cells, std::string& error) {
    for (const auto& entry : entries) {
        const auto equals = entry.find('=');
        const auto colon = equals == std::string::npos ? std::string::npos : entry.find(':', equals);
        if (equals == 0 || colon == std::string::npos) {
            error = "--field wants NAME=TYPE:VALUE, not \"" + entry + "\"";
            return false;
        }
        const std::string label = entry.substr(0, equals);
        const std::string type_word = entry.substr(equals + 1, colon - equals - 1);
        const std::uint8_t type = type_from_name(type_word);
        if (!type) {
            error = "--field " + label + ": type \"" + type_word + "\" is not string, number, logical, time or date";
            return false;
        }
        std::string name;
        std::string value;
        if (!codec.to_cp932(label, name) || !codec.to_cp932(entry.substr(colon + 1), value)) {
            error = "--field " + label + ": text that code page 932 cannot hold";
            return false;
        }
        host.add_field(name, type, label, cells.size());
        cells.push_back(value);
    }
    return true;
}

}  // namespace fcltool
