// The analysis API (src/analysis/analysis.h) as plain C functions: diagnostics, the linter and
// the function catalogue.
#include <cstdio>
#include <cstring>
#include <memory>

#include "analysis/analysis.h"
#include "fclib_batch.h"

namespace {

// Compile-time field callback: the type of each listed field, a failure for any other name.
int32_t field_types(void* data, const char* name, void*, uint16_t* type) {
    const auto* fields = static_cast<const fclb_fields*>(data);
    for (int32_t i = 0; fields && i < fields->count; ++i) {
        if (std::strcmp(fields->names[i], name) != 0) continue;
        *type = fields->types[i];
        return 0;
    }
    return 1;
}

template <std::size_t N>
void copy_text(char (&out)[N], const char* text) {
    std::snprintf(out, N, "%s", text ? text : "");
}

void describe(const fcl::analysis::Diagnostic& in, fclb_diagnostic* out) {
    if (!out) return;
    out->status = in.status;
    out->begin = in.span.begin;
    out->end = in.span.end;
    copy_text(out->message, in.message);
    copy_text(out->reason, in.reason);
}

std::unique_ptr<fcl::analysis::Analysis> analyzed(const char* text, const fclb_fields* fields) {
    auto analysis = std::make_unique<fcl::analysis::Analysis>();
    fcl::analysis::analyze(nullptr, field_types, const_cast<fclb_fields*>(fields), text, *analysis);
    return analysis;
}

}  // namespace

extern "C" {

FCLB_API int32_t fclb_diagnose(const char* text, const fclb_fields* fields, fclb_diagnostic* out) {
    const auto analysis = analyzed(text, fields);
    describe(analysis->diagnostic, out);
    return analysis->diagnostic.status;
}

FCLB_API int32_t fclb_lint(const char* text, const fclb_fields* fields, fclb_warning* out, int32_t most,
                           fclb_diagnostic* diagnostic) {
    const auto analysis = analyzed(text, fields);
    describe(analysis->diagnostic, diagnostic);
    if (analysis->diagnostic.status != FCL_OK) return 0;
    auto result = std::make_unique<fcl::analysis::LintResult>();
    fcl::analysis::lint(*analysis, FCLMODE() == 0, *result);
    int32_t written = 0;
    for (std::size_t i = 0; i < result->count && written < most; ++i, ++written) {
        const fcl::analysis::Warning& warning = result->warnings[i];
        fclb_warning& to = out[written];
        copy_text(to.code, warning.code);
        to.begin = warning.span.begin;
        to.end = warning.span.end;
        copy_text(to.message, warning.message);
        to.has_fix = warning.has_fix ? 1 : 0;
        to.fix_begin = warning.has_fix ? warning.fix.span.begin : 0;
        to.fix_end = warning.has_fix ? warning.fix.span.end : 0;
        copy_text(to.fix, warning.has_fix ? warning.fix.text : "");
    }
    return written;
}

FCLB_API int32_t fclb_function_count(void) { return fcl::analysis::function_count(); }

FCLB_API int32_t fclb_function_info(int32_t record, fclb_function* out) {
    const fcl::analysis::FunctionInfo* info = fcl::analysis::function_info(record);
    if (!info || !out) return 0;
    out->name = info->name;
    out->record = info->record;
    out->argc = info->argc;
    out->result = info->result;
    for (int i = 0; i < fcl::analysis::kMostArguments; ++i) out->args[i] = info->args[i];
    out->summary = info->summary;
    out->aggregate = static_cast<int32_t>(info->aggregate);
    out->docs_anchor = info->docs_anchor;
    return 1;
}

}  // extern "C"
