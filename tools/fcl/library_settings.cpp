#include "library_settings.h"

#include "fclib.h"

namespace fcltool {

namespace {

constexpr int kDecimalBackend = 5;
constexpr int kDoubleBackend = 1;

}  // namespace

void apply_library_settings(const Options& options) {
    if (options.backend == "decimal") NumSetup(kDecimalBackend);
    if (options.backend == "double") NumSetup(kDoubleBackend);
    FCLSETMODE(options.text_numbers ? 1 : 0);
}

}  // namespace fcltool
