// The batch evaluator: a field host over column arrays that answers the library's field and
// aggregate requests for the current row (the protocol of docs/language.md, "Aggregates", as
// fcl report hosts it), and the result columns it writes.
#include <atomic>
#include <charconv>
#include <cstring>
#include <mutex>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "fclib_batch.h"
#include "functions/function_table.h"

namespace {

constexpr std::int32_t kValueRequest = 2;   // data of an aggregate's value request
constexpr std::int32_t kQuery = 3;          // data of a plain aggregate's query
constexpr std::size_t kMaxRawText = FCL_RAW_BUFFER - 1;
constexpr int kAggregateKinds = 5;
constexpr const char* kSyncField = "fclb:sync";  // supplies no value: the stand-ins' field

std::int32_t init_mode_set = 0;  // the FCLINIT mode of fclb_setup, for every ordered batch
std::mutex ordered_lock;            // the aggregate areas and PAGE's counter are process-wide
std::atomic<std::uint32_t> passes;  // pass keys differ from one row to the next, batch after batch

// Pass keys stay within 2..1000, clear of 0, "again" (0xFFFF) and the status codes.
std::uint16_t next_pass_key() { return static_cast<std::uint16_t>(2 + passes.fetch_add(1) % 999); }

bool is_lead_byte(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// The length of text cut to fit the raw buffer at a character boundary.
std::size_t cut_length(const char* text, std::size_t size) {
    if (size < kMaxRawText) return size;
    std::size_t length = 0;
    while (length < size) {
        const std::size_t width = is_lead_byte(static_cast<unsigned char>(text[length])) ? 2 : 1;
        if (length + width > kMaxRawText) break;
        length += width;
    }
    return length > size ? size : length;
}

std::uint16_t word(std::uint8_t type, std::uint8_t format) { return static_cast<std::uint16_t>(type | format << 8); }

bool is_reference_kind(std::uint16_t type) { return type == FCL_T_FIELD || type == FCL_T_NAME; }

// "150000000e-8" (the library's number payload) as "1.5"; "-0" as "0". Text of another shape
// is appended as it is.
void append_plain_decimal(std::string& out, const char* payload) {
    const char* e = std::strchr(payload, 'e');
    if (!e) {
        out += payload;
        return;
    }
    const bool negative = payload[0] == '-';
    std::string digits(payload + (negative ? 1 : 0), e);
    int exponent = 0;
    const char* end = payload + std::strlen(payload);
    if (std::from_chars(e + 1 + (e[1] == '+' ? 1 : 0), end, exponent).ec != std::errc() ||
        digits.find_first_not_of("0123456789") != std::string::npos || digits.empty() || exponent > 4096 ||
        exponent < -4096) {
        out += payload;
        return;
    }
    std::string whole;
    std::string fraction;
    if (exponent >= 0) {
        whole = digits + std::string(static_cast<std::size_t>(exponent), '0');
    } else {
        const auto places = static_cast<std::size_t>(-exponent);
        if (digits.size() <= places) digits.insert(0, places - digits.size() + 1, '0');
        whole = digits.substr(0, digits.size() - places);
        fraction = digits.substr(digits.size() - places);
    }
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
    fraction.erase(fraction.find_last_not_of('0') + 1);
    if (negative && (whole != "0" || !fraction.empty())) out += '-';
    out += whole;
    if (!fraction.empty()) out += '.' + fraction;
}

struct Formula {
    const unsigned char* code;
    const char* name;
    std::vector<std::uint8_t> aggregates;  // the running aggregates' slot kinds, in item order
};

struct Output {
    std::vector<std::uint8_t> types;
    std::vector<std::uint16_t> status;
    std::vector<double> numbers;
    std::vector<std::uint8_t> logicals;
    std::vector<std::int64_t> offsets{0};
    std::string bytes;
    std::int64_t failures = 0;
    unsigned char last[FCL_MAX_VALUE];  // this row's value, for the formulas after it
    bool ok = false;
};

// Calls visit(index) for each function call of a compiled formula, in item order.
template <typename Visit>
void each_call(const unsigned char* code, bool text_numbers, Visit visit) {
    std::size_t length = fcl_code_length(code);
    if (length > FCL_MAX_CODE) length = FCL_MAX_CODE;
    for (std::size_t pos = FCL_CODE_HEADER; pos < length;) {
        const std::size_t size = fcl_value_size(code + pos, length - pos, text_numbers);
        if (size == 0) break;
        if (code[pos] == FCL_T_FUNCTION) visit(code[pos + 1]);
        pos += size;
    }
}

}  // namespace

struct fclb_batch {
    std::vector<Output> outputs;
};

namespace {

class Host {
public:
    Host(const fclb_column* columns, std::int32_t column_count, std::vector<Formula>& formulas,
         std::vector<Output>& outputs)
        : columns_(columns, columns + column_count), formulas_(formulas), outputs_(outputs),
          text_numbers_(FCLMODE() != 0) {}

    void begin_row(std::int64_t row, bool group_last, std::uint16_t pass_key) {
        row_ = row;
        group_last_ = group_last;
        pass_key_ = pass_key;
        for (Output& output : outputs_) output.ok = false;
    }

    void begin_formula() {
        calls_ = 0;
        pending_query_ = false;
    }

    std::uint32_t calls() const { return calls_; }

    static int32_t callback(void* data, const char* name, void* raw, uint16_t* type) {
        Host* host = current;
        if (!host) return 1;
        auto* bytes = static_cast<std::uint8_t*>(raw);
        if (data == host) return host->write(name, bytes, type, nullptr) ? 0 : 1;
        std::int32_t code;
        std::memcpy(&code, data, sizeof code);
        if (code == kQuery) {
            ++host->calls_;
            host->pending_query_ = true;
            return FCL_AGG_RESET;  // running totals, kept across the group's rows
        }
        if (code == kValueRequest) return host->value_request(name, bytes, type);
        if (is_reference_kind(*type) && host->supply(name, bytes, type)) return 0;
        *type = FCL_AGG_RESET;
        return 0;
    }

    static thread_local Host* current;

private:
    // The first request of a call (the word holds the reference kind) gets the row's value;
    // every later one the end mark of the row's place in its group.
    std::int32_t value_request(const char* name, std::uint8_t* raw, std::uint16_t* type) {
        if (is_reference_kind(*type)) {
            if (!pending_query_) ++calls_;  // COUNT sends no query: its first request starts it
            pending_query_ = false;
            if (supply(name, raw, type)) return pass_key_;
        }
        *type = group_last_ ? FCL_AGG_RESET : FCL_AGG_CONTINUE;
        return pass_key_;
    }

    // An aggregate takes no value from a null cell or a formula that failed in this row.
    bool supply(const char* name, std::uint8_t* raw, std::uint16_t* type) {
        bool empty = false;
        return write(name, raw, type, &empty) && !empty;
    }

    bool write(const char* name, std::uint8_t* raw, std::uint16_t* type, bool* empty) {
        for (const fclb_column& column : columns_) {
            if (std::strcmp(column.name, name) != 0) continue;
            if (!raw) {
                *type = static_cast<std::uint16_t>(column.type);
                return true;
            }
            const bool null = column.nulls && column.nulls[row_];
            if (empty) *empty = null;
            return write_cell(column, null, raw, type);
        }
        for (std::size_t i = 0; i < formulas_.size(); ++i) {
            if (std::strcmp(formulas_[i].name, name) != 0) continue;
            if (!raw) {
                *type = formulas_[i].code[0];
                return true;
            }
            return outputs_[i].ok && write_value(outputs_[i].last, raw, type);
        }
        if (std::strcmp(name, kSyncField) == 0) {
            *type = FCL_T_NUMBER;
            if (empty) *empty = true;
            if (raw) std::memcpy(raw, "0", 2);
            return true;
        }
        return false;
    }

    bool write_text(const char* text, std::size_t size, std::uint8_t* raw, std::uint16_t* type,
                    std::uint8_t value_type) {
        const std::size_t length = cut_length(text, size);
        std::memcpy(raw, text, length);
        raw[length] = 0;
        *type = value_type;
        return true;
    }

    bool write_number(double value, std::uint8_t* raw, std::uint16_t* type) {
        if (!text_numbers_) {
            std::memcpy(raw, &value, sizeof value);
            *type = word(FCL_T_NUMBER, FCL_RAW_DOUBLE);
            return true;
        }
        char text[64];
        const auto written = std::to_chars(text, text + sizeof text, value);
        return written.ec == std::errc() && write_text(text, written.ptr - text, raw, type, FCL_T_NUMBER);
    }

    bool write_cell(const fclb_column& column, bool null, std::uint8_t* raw, std::uint16_t* type) {
        const auto type_code = static_cast<std::uint8_t>(column.type);
        if (null) {
            switch (type_code) {
                case FCL_T_NUMBER: return write_number(0, raw, type);
                case FCL_T_DATE: return write_text("00000000", 8, raw, type, FCL_T_DATE);
                case FCL_T_TIME: return write_text("000000", 6, raw, type, FCL_T_TIME);
                case FCL_T_LOGICAL: raw[0] = 0; *type = word(FCL_T_LOGICAL, FCL_RAW_U8); return true;
                default: return write_text("", 0, raw, type, FCL_T_STRING);
            }
        }
        switch (column.storage) {
            case FCLB_F64: {
                const double value = static_cast<const double*>(column.values)[row_];
                if (type_code == FCL_T_NUMBER) return write_number(value, raw, type);
                return false;
            }
            case FCLB_BOOL:
                raw[0] = static_cast<const std::uint8_t*>(column.values)[row_] ? 1 : 0;
                *type = word(FCL_T_LOGICAL, FCL_RAW_U8);
                return type_code == FCL_T_LOGICAL;
            case FCLB_DIGITS: {
                const std::int32_t value = static_cast<const std::int32_t*>(column.values)[row_];
                const int width = type_code == FCL_T_DATE ? 8 : 6;
                char text[8];
                std::int32_t rest = value < 0 ? 0 : value;
                for (int i = width - 1; i >= 0; --i, rest /= 10) text[i] = static_cast<char>('0' + rest % 10);
                return (type_code == FCL_T_DATE || type_code == FCL_T_TIME) &&
                       write_text(text, static_cast<std::size_t>(width), raw, type, type_code);
            }
            case FCLB_TEXT: {
                const char* text = column.bytes + column.offsets[row_];
                const auto size = static_cast<std::size_t>(column.offsets[row_ + 1] - column.offsets[row_]);
                if (type_code != FCL_T_NUMBER || text_numbers_) return write_text(text, size, raw, type, type_code);
                double value = 0;
                const char* start = size > 0 && text[0] == '+' ? text + 1 : text;
                if (std::from_chars(start, text + size, value).ec != std::errc()) return false;
                return write_number(value, raw, type);
            }
            default: return false;
        }
    }

    bool write_value(const unsigned char* value, std::uint8_t* raw, std::uint16_t* type) {
        const char* text = reinterpret_cast<const char*>(value + 1);
        switch (value[0]) {
            case FCL_T_NUMBER:
                if (text_numbers_) return write_text(text, std::strlen(text), raw, type, FCL_T_NUMBER);
                std::memcpy(raw, value + 1, sizeof(double));
                *type = word(FCL_T_NUMBER, FCL_RAW_DOUBLE);
                return true;
            case FCL_T_LOGICAL:
                raw[0] = value[1] ? 1 : 0;
                *type = word(FCL_T_LOGICAL, FCL_RAW_U8);
                return true;
            case FCL_T_STRING: case FCL_T_TIME: case FCL_T_DATE:
                return write_text(text, std::strlen(text), raw, type, value[0]);
            default: return false;
        }
    }

    std::vector<fclb_column> columns_;
    std::vector<Formula>& formulas_;
    std::vector<Output>& outputs_;
    bool text_numbers_;
    std::int64_t row_ = 0;
    bool group_last_ = false;
    std::uint16_t pass_key_ = 0;
    std::uint32_t calls_ = 0;
    bool pending_query_ = false;
};

thread_local Host* Host::current = nullptr;

// The stand-in calls of each aggregate kind: its first running record, on kSyncField.
struct StandIns {
    unsigned char code[kAggregateKinds][FCL_MAX_CODE] = {};

    bool compile(FCLHANDLE handle) {
        bool compiled[kAggregateKinds] = {};
        for (int index = 1; index <= fcl::kFunctionCount; ++index) {
            const fcl::analysis::FunctionInfo* info = fcl::analysis::function_info(index);
            const int kind = fcl::function_record(static_cast<unsigned>(index))->fixed;
            if (info->aggregate != fcl::Aggregation::Running || kind >= kAggregateKinds || compiled[kind]) continue;
            const std::string text = std::string(info->name) + "([" + kSyncField + "])";
            if (FCLCOMPILE2(Host::callback, Host::current, text.c_str(), code[kind], nullptr, handle) != FCL_OK)
                return false;
            compiled[kind] = true;
        }
        return true;
    }
};

// Stores one run's value in the output column.
void store(Output& output, const unsigned char* value, std::uint16_t status, bool text_numbers) {
    output.types.push_back(value[0]);
    output.status.push_back(status);
    if (status != FCL_OK) ++output.failures;
    output.ok = status == FCL_OK;
    double number = 0;
    std::uint8_t logical = 0;
    const char* text = reinterpret_cast<const char*>(value + 1);
    switch (value[0]) {
        case FCL_T_NUMBER:
            if (text_numbers) {
                append_plain_decimal(output.bytes, text);
            } else {
                std::memcpy(&number, value + 1, sizeof number);
            }
            break;
        case FCL_T_LOGICAL: logical = value[1] ? 1 : 0; break;
        case FCL_T_STRING: case FCL_T_TIME: case FCL_T_DATE: output.bytes += text; break;
        default: break;
    }
    output.numbers.push_back(number);
    output.logicals.push_back(logical);
    output.offsets.push_back(static_cast<std::int64_t>(output.bytes.size()));
    if (output.ok) {
        const std::size_t size = fcl_value_size(value, FCL_MAX_VALUE, text_numbers);
        std::memcpy(output.last, value, size ? size : 2);
    }
}

// Sets the PAGE counter to start at 1 in both number modes, as fcl report does.
void start_page_numbers(FCLHANDLE handle) {
    unsigned char code[FCL_MAX_CODE];
    unsigned char result[FCL_MAX_VALUE];
    if (FCLCOMPILE2(nullptr, nullptr, "PAGE(1, 1)", code, nullptr, handle) == FCL_OK)
        FCLEXECUTE2(nullptr, nullptr, code, result, handle);
}

void run_rows(Host& host, std::vector<Formula>& formulas, std::vector<Output>& outputs, std::int64_t rows,
              const uint8_t* group_last, FCLHANDLE handle, const StandIns* stand_ins, bool text_numbers) {
    unsigned char result[FCL_MAX_VALUE];
    unsigned char ignored[FCL_MAX_VALUE];
    for (std::int64_t row = 0; row < rows; ++row) {
        const bool last = group_last ? group_last[row] != 0 : row + 1 == rows;
        host.begin_row(row, last, stand_ins ? next_pass_key() : 0);
        for (std::size_t i = 0; i < formulas.size(); ++i) {
            host.begin_formula();
            const std::uint16_t status = FCLEXECUTE2(Host::callback, &host, formulas[i].code, result, handle);
            store(outputs[i], result, status, text_numbers);
            if (status == FCL_OK || !stand_ins) continue;
            for (std::size_t call = host.calls(); call < formulas[i].aggregates.size(); ++call)
                FCLEXECUTE2(Host::callback, &host, stand_ins->code[formulas[i].aggregates[call]], ignored, handle);
        }
    }
}

}  // namespace

extern "C" {

FCLB_API void fclb_setup(int32_t mode, int32_t backend, int32_t init_mode) {
    NumSetup(backend);
    FCLSETMODE(mode);
    init_mode_set = init_mode;
    FCLINIT(0, &init_mode);
}

FCLB_API int32_t fclb_formula_order(const unsigned char* code) {
    std::int32_t order = 0;
    each_call(code, FCLMODE() != 0, [&](unsigned index) {
        const fcl::analysis::FunctionInfo* info = fcl::analysis::function_info(static_cast<int>(index));
        if (!info) return;
        if (info->aggregate == fcl::Aggregation::Running) order |= FCLB_ORDER_AGGREGATE;
        if (std::strcmp(info->name, "PAGE") == 0) order |= FCLB_ORDER_PAGE;
    });
    return order;
}

FCLB_API fclb_batch* fclb_evaluate(const unsigned char* const* codes, const char* const* names, int32_t count,
                                   const fclb_column* columns, int32_t column_count, int64_t rows,
                                   const uint8_t* group_last) {
    try {
        const bool text_numbers = FCLMODE() != 0;
        std::vector<Formula> formulas;
        bool ordered = false;
        for (int32_t i = 0; i < count; ++i) {
            Formula formula{codes[i], names[i], {}};
            each_call(codes[i], text_numbers, [&](unsigned index) {
                const fcl::analysis::FunctionInfo* info = fcl::analysis::function_info(static_cast<int>(index));
                if (info && info->aggregate == fcl::Aggregation::Running)
                    formula.aggregates.push_back(static_cast<std::uint8_t>(fcl::function_record(index)->fixed));
            });
            ordered = ordered || fclb_formula_order(codes[i]) != 0;
            formulas.push_back(std::move(formula));
        }
        auto batch = std::make_unique<fclb_batch>();
        batch->outputs.resize(static_cast<std::size_t>(count));
        for (Output& output : batch->outputs) {
            const auto reserve = static_cast<std::size_t>(rows);
            output.types.reserve(reserve);
            output.status.reserve(reserve);
            output.numbers.reserve(reserve);
            output.logicals.reserve(reserve);
            output.offsets.reserve(reserve + 1);
        }
        Host host(columns, column_count, formulas, batch->outputs);
        const std::unique_ptr<void, void (*)(void*)> owned(FCLCREATEHANDLE(), FCLRELEASEHANDLE);
        FCLHANDLE handle = owned.get();
        if (!handle) return nullptr;
        Host::current = &host;
        if (ordered) {
            const std::lock_guard<std::mutex> hold(ordered_lock);
            std::int32_t init = init_mode_set;
            FCLINIT(0, &init);
            start_page_numbers(handle);
            StandIns stand_ins;
            stand_ins.compile(handle);
            run_rows(host, formulas, batch->outputs, rows, group_last, handle, &stand_ins, text_numbers);
        } else {
            run_rows(host, formulas, batch->outputs, rows, group_last, handle, nullptr, text_numbers);
        }
        Host::current = nullptr;
        return batch.release();
    } catch (const std::bad_alloc&) {
        Host::current = nullptr;
        return nullptr;
    }
}

FCLB_API void fclb_output_of(const fclb_batch* batch, int32_t formula, fclb_output* out) {
    const Output& output = batch->outputs[static_cast<std::size_t>(formula)];
    out->types = output.types.data();
    out->status = output.status.data();
    out->numbers = output.numbers.data();
    out->logicals = output.logicals.data();
    out->offsets = output.offsets.data();
    out->bytes = output.bytes.data();
    out->failures = output.failures;
}

FCLB_API void fclb_free(fclb_batch* batch) { delete batch; }

}  // extern "C"
