// The status and a type error's reason in words: the C++ layer's texts (fclib.hpp), kept apart
// from the library's internals because both name a Context.
#include "analysis/analysis.h"
#include "fclib.hpp"

const char* fcl::analysis::status_message(int status) {
    return fcl::status_message(static_cast<std::uint16_t>(status));
}

std::string fcl::analysis::type_error_words(const unsigned char* why, const char* token, const char* function,
                                            int fewest, int most) {
    return fcl::type_error_reason(why, token, function, fewest, most);
}
