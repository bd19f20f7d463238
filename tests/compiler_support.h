// Helpers for the compiler tests: a host that knows a fixed set of names, and readable forms of
// compiled formulas (hex bytes, and the items in postfix order such as "Amount 5 GT").
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "fclib.h"
#include "functions/function_table.h"

namespace fcl::test {

// Names starting with "Unknown" are refused; "Untyped" is answered without touching the type
// word; any other name not in the map is a number.
struct Host {
    std::map<std::string, std::uint16_t> types;
    int queries = 0;

    static int32_t callback(void* data, const char* name, void* raw, uint16_t* type) {
        auto& host = *static_cast<Host*>(data);
        ++host.queries;
        if (raw) return 1;  // the compiler only asks for types
        if (std::strncmp(name, "Unknown", 7) == 0) return 0x10001;  // only the low 16 bits count
        if (std::strcmp(name, "Untyped") == 0) return 0;
        const auto found = host.types.find(name);
        *type = found == host.types.end() ? FCL_T_NUMBER : found->second;
        return 0;
    }
};

// The fields of the worked examples.
inline Host example_host() {
    return Host{{{"Name", FCL_T_STRING},
                 {"Code", FCL_T_STRING},
                 {"s", FCL_T_STRING},
                 {"OrderDate", FCL_T_DATE},
                 {"Flag", FCL_T_LOGICAL},
                 {"p", FCL_T_LOGICAL},
                 {"z", FCL_T_LOGICAL},
                 {"T", FCL_T_TIME}}};
}

struct Compiled {
    uint16_t status;
    std::string bytes;  // hex of the length bytes reported
    std::string items;  // postfix listing; empty after a failure
    unsigned char code[FCL_MAX_CODE + 64];
    uint16_t length;
};

inline std::string hex(const unsigned char* code, std::size_t length) {
    std::string out;
    char byte[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", code[i]);
        out += byte;
    }
    return out;
}

// One item as text: [field], name, numbers with %g (text mode: the payload), "string",
// logical:0/1, time:hhmmss, date:yyyymmdd and function records by name. Returns its size.
inline std::size_t describe_item(const unsigned char* item, bool text_numbers, std::string& out) {
    const char* text = reinterpret_cast<const char*>(item + 1);
    char number[64];
    switch (item[0]) {
        case FCL_T_STRING: out += "\"" + std::string(text) + "\""; return std::strlen(text) + 2;
        case FCL_T_NUMBER:
            if (text_numbers) {
                out += text;
                return std::strlen(text) + 2;
            } else {
                double value;
                std::memcpy(&value, item + 1, sizeof value);
                std::snprintf(number, sizeof number, "%g", value);
                out += number;
                return 9;
            }
        case FCL_T_LOGICAL: out += "logical:" + std::to_string(item[1]); return 2;
        case FCL_T_TIME: out += "time:" + std::string(text); return std::strlen(text) + 2;
        case FCL_T_DATE: out += "date:" + std::string(text); return std::strlen(text) + 2;
        case FCL_T_FIELD: out += "[" + std::string(text) + "]"; return std::strlen(text) + 4;
        case FCL_T_NAME: out += text; return std::strlen(text) + 4;
        case FCL_T_FUNCTION: {
            const FunctionRecord* record = function_record(item[1]);
            out += record ? record->name : "?";
            return 2;
        }
        default: return 0;
    }
}

inline std::string listing(const unsigned char* code, std::size_t length, bool text_numbers) {
    std::string out;
    std::size_t at = 4;
    while (at + 1 < length) {
        if (!out.empty()) out += ' ';
        const std::size_t size = describe_item(code + at, text_numbers, out);
        if (size == 0) return out + "<bad item>";
        at += size;
    }
    return out;
}

inline Compiled compile(const std::string& text, Host& host) {
    Compiled c{};
    std::memset(c.code, 0xCD, sizeof c.code);
    c.status = FCLCOMPILE(Host::callback, &host, text.c_str(), c.code, &c.length);
    c.bytes = hex(c.code, c.length);
    if (c.status == 0) c.items = listing(c.code, c.length, FCLMODE() != 0);
    return c;
}

inline Compiled compile(const std::string& text) {
    Host host = example_host();
    return compile(text, host);
}

}  // namespace fcl::test
