#include "report_columns.h"

#include <cstdio>
#include <cstring>

#include "compile_diagnostics.h"
#include "formula_items.h"
#include "status_text.h"

namespace fcltool {

namespace {

void print_compile_failure(const ColumnText& column, const std::string& message) {
    std::fprintf(stderr, "fcl: column \"%s\": cannot compile %s\nfcl:   %s\n", column.header.c_str(),
                 column.formula.c_str(), message.c_str());
}

// The plain aggregates of a compiled formula; false when an aggregate (plain or P form) does not
// follow a field or name reference, from which alone the library takes an aggregate's values.
bool collect_aggregates(ReportFormula& formula, bool text_numbers) {
    const auto items = formula_items(formula.code, text_numbers);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const unsigned index = call_index(items[i]);
        const FunctionName* function = function_name(index);
        // PAGE's counter and the aggregates' slots live in the library for the whole process.
        if (function && !formula.ordered_call && (is_aggregate(index) || std::strcmp(function->name, "PAGE") == 0))
            formula.ordered_call = function->name;
        if (!is_aggregate(index)) continue;
        const std::uint8_t before = i > 0 ? items[i - 1].bytes[0] : 0;
        if (before != FCL_T_FIELD && before != FCL_T_NAME) {
            print_compile_failure(formula.text, std::string(function_name(index)->name) +
                                                    " takes its values from a field or column name: write the "
                                                    "expression as a column of its own and aggregate that column");
            return false;
        }
        const PlainAggregate kind = plain_aggregate(index);
        if (kind != PlainAggregate::None) formula.aggregates.push_back(kind);
    }
    return true;
}

constexpr const char* kSyncFormulas[] = {nullptr, "COUNT([fcl:sync])", "SUM([fcl:sync])", "AVG([fcl:sync])",
                                         "MIN([fcl:sync])", "MAX([fcl:sync])"};

}  // namespace

bool compile_columns(const std::vector<ColumnText>& columns, TextCodec& codec, RecordHost& host, bool text_numbers,
                     std::vector<ReportFormula>& formulas) {
    bool all = true;
    formulas.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        ReportFormula& formula = formulas[i];
        formula.text = columns[i];
        std::string name;
        std::string text;
        if (!codec.to_cp932(formula.text.header, name) || !codec.to_cp932(formula.text.formula, text)) {
            print_compile_failure(formula.text, "text that code page 932 cannot hold");
            all = false;
            continue;
        }
        host.activate();
        std::string where;
        std::string token;
        const std::uint16_t status =
            compile_with_diagnostics(text, host, formula.code, &formula.length, codec, where, token);
        if (status != FCL_OK) {
            std::string message = status_line(status);
            if (!token.empty()) message += " (" + token + ")\n" + where;
            std::string detail = formula_length_problem(text.size());
            if (host.has_problem()) codec.to_outside(host.take_problem(), detail);
            if (!detail.empty()) message += "\nfcl:   " + detail;
            print_compile_failure(formula.text, message);
            all = false;
            continue;
        }
        if (!collect_aggregates(formula, text_numbers)) {
            all = false;
            continue;
        }
        host.add_column(name, formula.code[0], formula.text.header, i);
        formula.name = std::move(name);
        formula.source = std::move(text);
    }
    return all;
}

bool AggregateSync::compile(RecordHost& host) {
    host.activate();
    for (int kind = 1; kind < 6; ++kind) {
        std::uint16_t length = 0;
        if (FCLCOMPILE(RecordHost::callback, &host, kSyncFormulas[kind], code_[kind], &length) != FCL_OK)
            return false;
    }
    return true;
}

void AggregateSync::skip_rest(const ReportFormula& formula, std::uint32_t done, RecordHost& host) {
    unsigned char result[FCL_MAX_VALUE];
    for (std::size_t i = done; i < formula.aggregates.size(); ++i)
        FCLEXECUTE(RecordHost::callback, &host, code_[static_cast<int>(formula.aggregates[i])], result);
}

}  // namespace fcltool
