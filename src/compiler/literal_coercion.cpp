// Literal coercion: a number or string literal rewritten where a logical, time or date is needed.
#include <cstring>

#include "compiler/typing.h"
#include "functions/date_normaliser.h"
#include "functions/time_normaliser.h"

namespace fcl {

namespace {

bool is_string_literal(const ParseNode& node) { return node.kind == kTokString && node.mask == kString; }

// A number literal keeps its text (any non-zero value is true); "Y"/"y" and "N"/"n" become 1 and 0.
Status to_logical(ParseNode& node) {
    char* text = node.spelling();
    if (node.kind == kTokNumber && node.mask == kNumber) {
        node.mask = kLogical;
        return kOk;
    }
    if (!is_string_literal(node) || text[0] == '\0' || text[1] != '\0') return kTypeError;
    if (text[0] == 'Y' || text[0] == 'y') text[0] = '1';
    else if (text[0] == 'N' || text[0] == 'n') text[0] = '0';
    else return kTypeError;
    node.mask = kLogical;
    return kOk;
}

// hh:mm:ss, hh.mm.ss or hhmmss (colons anywhere, any separator at positions 2 and 5) to hhmmss.
Status to_time(ParseNode& node) {
    if (!is_string_literal(node)) return kTypeError;
    char time[kTimeBufferSize];
    if (normalise_time(node.spelling(), time) != kOk) return kTypeError;
    // Six digits came from the spelling, so it has room for them and the NUL.
    std::memcpy(node.spelling(), time, sizeof time);
    node.mask = kTime;
    return kOk;
}

// Any date form the date normaliser accepts, to yyyymmdd.
Status to_date(ParseNode& node) {
    if (!is_string_literal(node)) return kTypeError;
    char date[kDateBufferSize];
    copy_date_text(date, node.spelling());
    if (normalise_date(date) != kOk || node.room < 9) return kTypeError;
    std::memcpy(node.spelling(), date, 9);
    node.mask = kDate;
    return kOk;
}

}  // namespace

Status coerce_literal(ParseNode& node, std::uint8_t mask) {
    switch (mask) {
        case kLogical: return to_logical(node);
        case kTime: return to_time(node);
        case kDate: return to_date(node);
        default: return kTypeError;
    }
}

}  // namespace fcl
