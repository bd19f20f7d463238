// The report's formulas, compiled once before any record is read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "fclib.h"
#include "function_names.h"
#include "record_host.h"
#include "report_request.h"
#include "text_codec.h"

namespace fcltool {

struct ReportFormula {
    ColumnText text;
    std::string name;    // the header in code page 932, as later columns name it
    std::string source;  // the formula in code page 932
    // A function that must see the records one after another, in order (an aggregate or
    // PAGE), or null: such a formula keeps the report on one thread.
    const char* ordered_call = nullptr;
    unsigned char code[FCL_MAX_CODE] = {};
    std::uint16_t length = 0;
    // The plain aggregates the formula calls, in execution order: each takes the next slot of
    // its kind in every record.
    std::vector<PlainAggregate> aggregates;
};

// Compiles the columns in order; each column is made readable by name to the ones after it.
// Prints every failure with the formula, the status and its meaning; false if any failed.
bool compile_columns(const std::vector<ColumnText>& columns, TextCodec& codec, RecordHost& host, bool text_numbers,
                     std::vector<ReportFormula>& formulas);

// Keeps the aggregate slots in step when a formula stops early: the library numbers the slots
// of each aggregate kind by call order within a record, so the calls a failed formula did not
// reach would shift every later call site onto a neighbour's slot. For each missed call this
// runs a stand-in call of the same kind (on the field kSyncField, which supplies no value and
// the group's end mark), so the slot is skipped, and reset at a group's end as usual.
class AggregateSync {
public:
    bool compile(RecordHost& host);
    // Takes the place of the calls after the first `done` of a formula's aggregates.
    void skip_rest(const ReportFormula& formula, std::uint32_t done, RecordHost& host);

private:
    unsigned char code_[6][FCL_MAX_CODE] = {};
};

}  // namespace fcltool
