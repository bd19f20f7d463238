// fcl compile FORMULA: the compiled formula as hex bytes and as a listing of its items.
#include <cstdio>

#include "commands.h"
#include "field_types.h"
#include "formula_items.h"
#include "single_formula.h"

namespace fcltool {

int run_compile(const Options& options) {
    TextCodec codec(options.encoding == "cp932");
    RecordHost host(options.text_numbers);
    SingleFormula formula;
    const int exit_status = compile_single_formula(options, codec, host, formula);
    if (exit_status != kExitOk) return exit_status;

    std::printf("%u bytes:", formula.length);
    for (unsigned i = 0; i < formula.length && i < FCL_MAX_CODE; ++i) std::printf(" %02X", formula.code[i]);
    std::printf("\nresult %s, flags 0x%02X (%s)\n", type_name(formula.code[0]).c_str(), formula.code[1],
                describe_flags(formula.code[1]).c_str());
    for (const auto& item : formula_items(formula.code, options.text_numbers)) {
        std::string line;
        codec.to_outside(describe_item(item, options.text_numbers), line);
        std::printf("%5zu  %s\n", item.offset, line.c_str());
    }
    return kExitOk;
}

}  // namespace fcltool
