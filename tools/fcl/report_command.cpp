// fcl report: formulas over every record of a CSV file.
#include <chrono>
#include <cstdio>

#include "commands.h"
#include "output_sink.h"
#include "record_host.h"
#include "report_columns.h"
#include "report_input.h"
#include "report_runner.h"
#include "report_request.h"

namespace fcltool {

namespace {

// PAGE() counts from 1 in double-number mode but from 0 in text-number mode; setting the counter
// once makes the rows number from 1 in both.
void start_page_numbers(RecordHost& host) {
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE];
    std::uint16_t length = 0;
    if (FCLCOMPILE(RecordHost::callback, &host, "PAGE(1, 1)", code, &length) == FCL_OK)
        FCLEXECUTE(RecordHost::callback, &host, code, result);
}

int find_field(const std::vector<InputField>& fields, const std::string& label) {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i].label == label) return static_cast<int>(i);
    return -1;
}

void print_rate(std::uint64_t records, std::size_t formulas, double seconds) {
    const double executions = static_cast<double>(records) * static_cast<double>(formulas);
    const double safe = seconds > 0 ? seconds : 1e-9;
    std::fprintf(stderr, "fcl: %llu records x %zu formulas in %.3f s: %.0f records/s, %.0f executions/s\n",
                 static_cast<unsigned long long>(records), formulas, seconds,
                 static_cast<double>(records) / safe, executions / safe);
}

}  // namespace

int run_report(const Options& options) {
    ReportRequest request;
    std::string error;
    if (!build_report_request(options, request, error)) {
        std::fprintf(stderr, "fcl report: %s\n", error.c_str());
        return kExitUsage;
    }
    TextCodec codec(options.encoding == "cp932");
    OutputSink sink(stdout);
    auto writer = make_writer(request.output, sink, codec.raw());
    ReportInput input;
    if (!writer || !input.open(request.data, codec, error)) {
        std::fprintf(stderr, "fcl report: %s\n", writer ? error.c_str() : "unknown output format");
        return kExitUsage;
    }
    RunSettings settings;
    settings.text_numbers = options.text_numbers;
    settings.exact = options.exact;
    settings.quiet = request.quiet;
    if (!request.group_by.empty()) {
        settings.group_field = find_field(input.fields(), request.group_by);
        if (settings.group_field < 0) {
            std::fprintf(stderr, "fcl report: --group-by %s: no such field in %s\n", request.group_by.c_str(),
                         request.data.c_str());
            return kExitUsage;
        }
    }

    RecordHost host(options.text_numbers);
    for (std::size_t i = 0; i < input.fields().size(); ++i) {
        const InputField& field = input.fields()[i];
        host.add_field(field.name, field.type, field.label, i);
    }
    std::vector<ReportFormula> formulas;
    if (!compile_columns(request.columns, codec, host, options.text_numbers, formulas)) return kExitFormula;
    bool aggregates = false;
    for (const auto& formula : formulas) aggregates = aggregates || !formula.aggregates.empty();
    AggregateSync sync;
    if (aggregates && !sync.compile(host)) {
        std::fprintf(stderr, "fcl report: the library cannot compile its aggregate stand-ins\n");
        return kExitFormula;
    }

    settings.threads = options.threads;
    if (settings.threads > 1) {
        for (const auto& formula : formulas) {
            if (!formula.ordered_call) continue;
            // The results depend on the order of the records: one thread keeps it.
            std::fprintf(stderr, "fcl report: column \"%s\" uses %s, which follows the records in order: running on one thread\n",
                         formula.text.header.c_str(), formula.ordered_call);
            settings.threads = 1;
            break;
        }
    }

    std::vector<ReportColumn> columns;
    for (const auto& formula : formulas)
        columns.push_back({formula.text.header, formula.code[0] == FCL_T_NUMBER, !formula.aggregates.empty()});
    writer->begin(columns);

    const auto start = std::chrono::steady_clock::now();
    std::int32_t mode = 1;
    FCLINIT(0, &mode);
    start_page_numbers(host);
    ReportRunner runner(input, formulas, host, aggregates ? &sync : nullptr, *writer, codec, settings);
    const bool read_all = runner.run(error);
    mode = 2;
    FCLINIT(0, &mode);
    writer->end();
    sink.flush();
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    runner.messages().finish();
    if (!read_all) {
        std::fprintf(stderr, "fcl report: %s\n", error.c_str());
        return kExitUsage;
    }
    if (!request.quiet) print_rate(runner.records(), formulas.size(), seconds.count());
    return runner.failures() > 0 ? kExitFormula : kExitOk;
}

}  // namespace fcltool
