// What `fcl report` is asked to do: the data file, the columns and the grouping, from the
// command line and an optional formula file.
#pragma once

#include <string>
#include <vector>

#include "options.h"

namespace fcltool {

struct ColumnText {
    std::string header;   // as written (outside encoding)
    std::string formula;
};

struct ReportRequest {
    std::string data;     // path, or "-" for standard input
    std::vector<ColumnText> columns;
    std::string group_by;
    std::string output;
    bool quiet = false;
};

// Without a data file and without columns the example report runs. A formula file's
// "@group-by" applies unless --group-by is given.
bool build_report_request(const Options& options, ReportRequest& request, std::string& error);

// True for `fcl report` with neither data nor columns: the example report, which reads its
// era list (with 令和) from the sample profile unless a profile is chosen.
bool is_example_report(const Options& options);

// "HEADER=FORMULA" split at the first "=", blanks around both parts removed.
bool parse_column(const std::string& text, ColumnText& column);

}  // namespace fcltool
