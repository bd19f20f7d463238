// fcl eval FORMULA: compile, run once with the --field values, print "<type> <value>".
#include <cstdio>

#include "commands.h"
#include "single_formula.h"
#include "value_text.h"

namespace fcltool {

int run_eval(const Options& options) {
    TextCodec codec(options.encoding == "cp932");
    RecordHost host(options.text_numbers);
    SingleFormula formula;
    const int exit_status = compile_single_formula(options, codec, host, formula);
    if (exit_status != kExitOk) return exit_status;

    // One record that is its own group: aggregates report its value.
    std::int32_t mode = 1;
    FCLINIT(0, &mode);
    const std::vector<std::string_view> cells(formula.cells.begin(), formula.cells.end());
    host.begin_record(&cells, 2, true);
    unsigned char result[FCL_MAX_VALUE] = {};
    const std::uint16_t status = FCLEXECUTE(RecordHost::callback, &host, formula.code, result);
    mode = 2;
    FCLINIT(0, &mode);
    if (status != FCL_OK) {
        print_failure("the formula failed", status, host, codec);
        return kExitFormula;
    }
    std::string text;
    if (!codec.to_outside(value_text(result, options.text_numbers, options.exact), text))
        std::fprintf(stderr, "fcl: the result has bytes with no character; they are shown as \\xNN\n");
    std::printf("%s %s\n", value_type_word(result[0]), text.c_str());
    return kExitOk;
}

}  // namespace fcltool
