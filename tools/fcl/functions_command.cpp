// fcl functions [NAME]: the library's vocabulary, one function record a line.
#include <cstdio>
#include <string>

#include "commands.h"
#include "fclib.h"
#include "function_names.h"

namespace fcltool {

namespace {

struct MaskWord {
    std::uint16_t mask;
    const char* word;
};

constexpr MaskWord kWholeMasks[] = {{FCL_T_ANY, "any"}, {FCL_T_ANY_BUT_LOGICAL, "any-but-logical"}};
constexpr MaskWord kTypeBits[] = {{FCL_T_STRING, "string"}, {FCL_T_NUMBER, "number"}, {FCL_T_LOGICAL, "logical"},
                                  {FCL_T_TIME, "time"},     {FCL_T_DATE, "date"}};

// A type mask as words: "any", or the types it allows joined by "|".
std::string mask_words(std::uint16_t mask) {
    for (const auto& entry : kWholeMasks)
        if (entry.mask == mask) return entry.word;
    std::string out;
    for (const auto& entry : kTypeBits) {
        if (!(mask & entry.mask)) continue;
        if (!out.empty()) out += '|';
        out += entry.word;
    }
    return out;
}

bool same_name(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i)
        if (a[i] != (b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i])) return false;
    return a[i] == '\0' && i == b.size();
}

}  // namespace

int run_functions(const Options& options) {
    const std::string wanted = options.arguments.empty() ? "" : options.arguments[0];
    int shown = 0;
    for (unsigned index = 1; index <= kFunctionCount; ++index) {
        const FunctionName& function = *function_name(index);
        if (!wanted.empty() && !same_name(function.name, wanted)) continue;
        std::string signature = std::string(function.name) + "(";
        for (unsigned k = 0; k < function.argc; ++k) signature += (k ? ", " : "") + mask_words(function.arg_masks[k]);
        signature += ") -> " + mask_words(function.result_mask);
        if (std::printf("%3u  %-58s %s\n", index, signature.c_str(), function.summary) < 0) return kExitUsage;
        ++shown;
    }
    if (shown == 0) {
        std::fprintf(stderr, "fcl: no function is named %s\n", wanted.c_str());
        return kExitUsage;
    }
    return kExitOk;
}

}  // namespace fcltool
