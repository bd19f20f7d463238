#include "report_writer.h"

namespace fcltool {

std::unique_ptr<ReportWriter> make_writer(const std::string& format, OutputSink& sink, bool byte_widths) {
    if (format == "table") return make_table_writer(sink, byte_widths);
    if (format == "csv") return make_csv_writer(sink);
    if (format == "json") return make_json_writer(sink);
    return nullptr;
}

std::string error_cell_text(std::uint16_t status) {
    if (status == kSlotLimitStatus) return "#limit";
    std::string text(1, '#');
    text += std::to_string(status);
    return text;
}

}  // namespace fcltool
