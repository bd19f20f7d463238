#include "report_request.h"

#include <fstream>

namespace fcltool {

namespace {

const std::string kExamplesDir = FCL_EXAMPLES_DIR;

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool load_formula_file(const std::string& path, ReportRequest& request, std::string& group_by, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the formula file " + path;
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const std::string text = trimmed(line);
        if (text.empty() || text[0] == '#') continue;
        if (text.rfind("@group-by", 0) == 0) {
            group_by = trimmed(text.substr(9));
            continue;
        }
        ColumnText column;
        if (!parse_column(text, column)) {
            error = path + ":" + std::to_string(number) + ": expected HEADER = FORMULA";
            return false;
        }
        request.columns.push_back(column);
    }
    return true;
}

}  // namespace

bool is_example_report(const Options& options) {
    return options.command == "report" && options.arguments.empty() && options.columns.empty() &&
           options.formulas.empty();
}

bool parse_column(const std::string& text, ColumnText& column) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) return false;
    column.header = trimmed(text.substr(0, equals));
    column.formula = trimmed(text.substr(equals + 1));
    return !column.header.empty();
}

bool build_report_request(const Options& options, ReportRequest& request, std::string& error) {
    if (options.arguments.size() > 1) {
        error = "give at most one data file";
        return false;
    }
    const bool example = is_example_report(options);
    request.data = options.arguments.empty() ? kExamplesDir + "/orders.csv" : options.arguments[0];
    request.output = options.output;
    request.quiet = options.quiet;
    std::string file_group_by;
    const std::string formulas = example ? kExamplesDir + "/orders.formulas" : options.formulas;
    if (!formulas.empty() && !load_formula_file(formulas, request, file_group_by, error)) return false;
    for (const auto& text : options.columns) {
        ColumnText column;
        if (!parse_column(text, column)) {
            error = "--column wants HEADER=FORMULA, not \"" + text + "\"";
            return false;
        }
        request.columns.push_back(column);
    }
    if (request.columns.empty()) {
        error = "no columns: give --column HEADER=FORMULA or --formulas FILE";
        return false;
    }
    request.group_by = options.group_by.empty() ? file_group_by : options.group_by;
    return true;
}

}  // namespace fcltool
