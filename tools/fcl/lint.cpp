// fcl lint: the linter's warnings for formulas, and why a formula does not compile, from the
// library's analysis API. Field types come from --field, from a data file's header (typed as
// fcl report types it) and, for a report's columns, from the columns above; a name nothing
// types is taken as a number, so that a formula can be checked without its data.
#include <cstdio>
#include <map>
#include <string>

#include "fcl.h"
#include "report.h"

namespace fcltool {

namespace {

struct LintHost {
    std::map<std::string, std::uint8_t> types;  // code page 932 names

    static std::int32_t callback(void* data, const char* name, void*, std::uint16_t* type) {
        const auto& types = static_cast<LintHost*>(data)->types;
        const auto found = types.find(name);
        *type = found == types.end() ? FCL_T_NUMBER : found->second;
        return 0;
    }
};

// A caret line under span of text (code page 932), as the terminal shows the text.
std::string underline(const std::string& text, fcl::analysis::Span span, TextCodec& terminal) {
    const auto shown = [&](std::size_t from, std::size_t to) {
        std::string out;
        terminal.to_outside(text.substr(from, to - from), out);
        return out;
    };
    const std::size_t begin = span.begin < text.size() ? span.begin : text.size();
    const std::size_t end = span.end < text.size() ? span.end : text.size();
    const std::size_t column = display_width(shown(0, begin), terminal.raw());
    const std::size_t width = display_width(shown(begin, end), terminal.raw());
    return std::string(column, ' ') + std::string(width > 0 ? width : 1, '^');
}

// Checks one formula: prints its warnings (or its compile failure) under `label`; returns
// the count of findings.
int lint_formula(const std::string& label, const std::string& text, LintHost& host, bool text_numbers,
                 TextCodec& terminal, std::uint8_t& result_type) {
    static fcl::analysis::Analysis analysis;
    static fcl::analysis::LintResult lint;
    std::string shown;
    terminal.to_outside(text, shown);
    const int status = fcl::analysis::analyze(nullptr, LintHost::callback, &host, text.c_str(), analysis);
    result_type = analysis.code[0];
    if (status != FCL_OK) {
        std::string reason;
        terminal.to_outside(analysis.diagnostic.reason, reason);
        std::printf("%s: error %d: %s%s%s\n  %s\n  %s\n", label.c_str(), status, analysis.diagnostic.message,
                    reason.empty() ? "" : ": ", reason.c_str(), shown.c_str(),
                    underline(text, analysis.diagnostic.span, terminal).c_str());
        return 1;
    }
    fcl::analysis::lint(analysis, !text_numbers, lint);
    for (std::size_t i = 0; i < lint.count; ++i) {
        const fcl::analysis::Warning& w = lint.warnings[i];
        std::string message;
        terminal.to_outside(w.message, message);
        std::printf("%s: warning %s: %s\n  %s\n  %s\n", label.c_str(), w.code, message.c_str(), shown.c_str(),
                    underline(text, w.span, terminal).c_str());
        if (w.has_fix) {
            const std::string fixed = text.substr(0, w.fix.span.begin) + w.fix.text + text.substr(w.fix.span.end);
            std::string fixed_shown;
            terminal.to_outside(fixed, fixed_shown);
            std::printf("  fix: %s\n", fixed_shown.c_str());
        }
    }
    return static_cast<int>(lint.count);
}

// --field NAME=TYPE[:VALUE]: the type of NAME.
bool add_field_types(const Options& options, LintHost& host, TextCodec& arguments) {
    for (const std::string& entry : options.fields) {
        const std::size_t equals = entry.find('=');
        const std::string type_word = equals == std::string::npos ? "" : entry.substr(equals + 1, entry.find(':', equals) - equals - 1);
        const std::uint8_t type = type_from_name(type_word);
        if (equals == std::string::npos || type == 0) {
            usage_error("lint", "--field wants NAME=TYPE or NAME=TYPE:VALUE, not \"" + entry + "\"");
            return false;
        }
        std::string name;
        arguments.to_cp932(entry.substr(0, equals), name);
        host.types[name] = type;
    }
    return true;
}

}  // namespace

int run_lint(const Options& options) {
    TextCodec arguments(options.arguments_cp932);
    TextCodec terminal(options.terminal_cp932);
    LintHost host;
    if (!add_field_types(options, host, arguments)) return kExitUsage;
    int findings = 0;
    std::uint8_t type = 0;
    if (options.formulas.empty() && options.columns.empty()) {
        if (options.arguments.size() != 1)
            return usage_error("lint", "give one formula, or --formulas FILE or --column HEADER=FORMULA");
        std::string text;
        if (!arguments.to_cp932(options.arguments[0], text)) {
            std::fprintf(stderr, "fcl lint: the formula has a character that code page 932 lacks\n");
            return kExitFormula;
        }
        findings = lint_formula("formula", text, host, options.text_numbers, terminal, type);
    } else {
        std::vector<ColumnText> columns;
        std::vector<InputField> fields;
        std::string error;
        const int loaded = report_columns(options, columns, fields, error);
        if (loaded != kExitOk) {
            if (!error.empty()) std::fprintf(stderr, "fcl: %s\n", error.c_str());
            return loaded;
        }
        for (const InputField& field : fields) host.types[field.name] = field.type;
        for (const ColumnText& column : columns) {
            if (!column.problem.empty()) {
                std::printf("column %s: %s\n", column.header.c_str(), column.problem.c_str());
                ++findings;
                continue;
            }
            findings += lint_formula("column " + column.header, column.source, host, options.text_numbers, terminal,
                                     type);
            host.types[column.name] = type;
        }
    }
    return findings == 0 ? kExitOk : kExitFormula;
}

}  // namespace fcltool
