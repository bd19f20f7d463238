#include "single_formula.h"

#include <cstdio>

#include "command_fields.h"
#include "commands.h"
#include "compile_diagnostics.h"
#include "status_text.h"

namespace fcltool {

void print_failure(const char* what, std::uint16_t status, RecordHost& host, TextCodec& codec) {
    std::fprintf(stderr, "fcl: %s: %s\n", what, status_line(status).c_str());
    if (!host.has_problem()) return;
    std::string detail;
    codec.to_outside(host.take_problem(), detail);
    std::fprintf(stderr, "fcl:   %s\n", detail.c_str());
}

int compile_single_formula(const Options& options, TextCodec& codec, RecordHost& host, SingleFormula& formula) {
    if (options.arguments.size() != 1) {
        std::fprintf(stderr, "fcl %s: give exactly one formula (see fcl --help)\n", options.command.c_str());
        return kExitUsage;
    }
    std::string error;
    if (!load_command_fields(options.fields, codec, host, formula.cells, error)) {
        std::fprintf(stderr, "fcl: %s\n", error.c_str());
        return kExitUsage;
    }
    std::string text;
    if (!codec.to_cp932(options.arguments[0], text)) {
        std::fprintf(stderr, "fcl: the formula has text that code page 932 cannot hold\n");
        return kExitUsage;
    }
    host.activate();
    std::string where;
    std::string token;
    const std::uint16_t status =
        compile_with_diagnostics(text, host, formula.code, &formula.length, codec, where, token);
    if (status != FCL_OK) {
        const std::string what = token.empty() ? "cannot compile the formula"
                                               : "cannot compile the formula (" + token + ")";
        print_failure(what.c_str(), status, host, codec);
        if (!where.empty()) std::fprintf(stderr, "%s\n", where.c_str());
        const std::string length_problem = formula_length_problem(text.size());
        if (!length_problem.empty()) std::fprintf(stderr, "fcl:   %s\n", length_problem.c_str());
        return kExitFormula;
    }
    return kExitOk;
}

}  // namespace fcltool
