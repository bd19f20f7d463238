#include "status_text.h"

#include "fclib.h"

namespace fcltool {

namespace {

struct StatusText {
    std::uint16_t code;
    const char* meaning;
};

constexpr StatusText kMeanings[] = {
    {FCL_OK, "success"},
    {FCL_E_SYNTAX, "syntax error in the formula text"},
    {FCL_E_UNKNOWN_NAME, "unknown function or operator name"},
    {FCL_E_TYPE, "type error: an argument's type, count or content does not fit"},
    {FCL_E_TOO_LONG, "string result longer than 512 bytes"},
    {FCL_E_CALLBACK, "field failure: unknown field, or a value that does not fit its type"},
    {FCL_E_STACK_FULL, "stack full: the formula is nested too deeply or holds too many values"},
    {FCL_E_CODE, "code error: the compiled formula is too long or ill-formed"},
    {FCL_E_NODE_POOL, "the formula is too large for the compiler's node pool"},
    {FCL_E_DIVIDE_BY_ZERO, "division by zero"},
    {FCL_E_BUSY, "the context is busy: called back from its own field callback"},
};

}  // namespace

const char* status_meaning(std::uint16_t status) {
    for (const auto& entry : kMeanings)
        if (entry.code == status) return entry.meaning;
    return "unknown status";
}

std::string status_line(std::uint16_t status) {
    return "status " + std::to_string(status) + ": " + status_meaning(status);
}

std::string formula_length_problem(std::size_t bytes) {
    if (bytes <= FCL_MAX_TEXT) return "";
    return "the formula has " + std::to_string(bytes) + " bytes; the limit is " + std::to_string(FCL_MAX_TEXT);
}

}  // namespace fcltool
