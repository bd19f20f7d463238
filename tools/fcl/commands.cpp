// The commands around single formulas and the vocabulary: eval, compile, functions, and
// gen-orders, which writes data to try reports on. With them the pieces they share with the
// report: compiling with diagnostics, reading compiled formulas, the function catalogue.
#include <cstdio>
#include <cstring>

#include "fcl.h"
#include "fclib.hpp"
#include "value_text.h"

namespace fcltool {

// ---- The function catalogue -------------------------------------------------------------

namespace {

using namespace fcl;  // the type masks and the fixed arguments the function list is written with

template <typename... Masks>
constexpr std::uint8_t count_of(Masks...) {
    return sizeof...(Masks);
}

// The aggregate column names the enumerators of fcl::Aggregation; the fixed argument of an
// aggregate record is its kind of slot.
static_assert(static_cast<unsigned>(fcl::AggregateKind::Max) + 1 == kAggregateKinds);

#define FCL_NAME(name, handler, fixed, aggregate, typing, result, summary, ...)                           \
    {#name, count_of(__VA_ARGS__), result, {__VA_ARGS__}, summary, fcl::Aggregation::aggregate, \
     static_cast<std::uint8_t>(fixed)},
constexpr FunctionName kNames[] = {FCL_FUNCTION_LIST(FCL_NAME)};
#undef FCL_NAME
static_assert(sizeof kNames / sizeof kNames[0] == fcl::kFunctionCount);

}  // namespace

const FunctionName* function_name(unsigned index) {
    return index >= 1 && index <= fcl::kFunctionCount ? &kNames[index - 1] : nullptr;
}

// ---- Statuses ---------------------------------------------------------------------------

std::string status_line(std::uint16_t status) {
    return "status " + std::to_string(status) + ": " + fcl::status_message(status);
}

std::string recoded(const std::string& text, TextCodec& from, TextCodec& to) {
    if (from.raw() == to.raw() || is_ascii(text)) return text;
    std::string cp932;
    std::string out;
    if (!from.to_cp932(text, cp932)) return text;
    to.to_outside(cp932, out);
    return out;
}

std::string formula_length_problem(std::size_t bytes) {
    if (bytes <= FCL_MAX_TEXT) return "";
    return "the formula has " + std::to_string(bytes) + " bytes; the limit is " + std::to_string(FCL_MAX_TEXT);
}

// ---- Compiling with diagnostics ---------------------------------------------------------

namespace {

// Outside text with control bytes written as \xNN, so that no message carries raw control bytes.
std::string printable(const std::string& cp932, TextCodec& codec) {
    std::string outside;
    codec.to_outside(cp932, outside);
    std::string out;
    for (const unsigned char c : outside) {
        if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

// The context compile diagnostics are read from; it lives as long as the program.
FCLHANDLE diagnostics_context() {
    static const FCLHANDLE handle = FCLCREATEHANDLE();
    return handle;
}

}  // namespace

CompileOutcome compile_with_diagnostics(const std::string& text, RecordHost& host, unsigned char* code,
                                        std::uint16_t* length, TextCodec& codec) {
    host.activate();
    FCLHANDLE handle = diagnostics_context();
    if (!handle) return {FCLCOMPILE(RecordHost::callback, &host, text.c_str(), code, length), {}, {}, {}, {}};
    // The library's own compile, through the analysis API, which also says why it failed.
    static fcl::analysis::Analysis analysis;
    CompileOutcome outcome{
        static_cast<std::uint16_t>(fcl::analysis::analyze(handle, RecordHost::callback, &host, text.c_str(), analysis)),
        {}, {}, {}, {}};
    if (code) std::memcpy(code, analysis.code, analysis.code_length);
    if (length) *length = analysis.code_length;
    if (outcome.status == FCL_OK || text.size() > FCL_MAX_TEXT) return outcome;
    codec.to_outside(analysis.diagnostic.reason, outcome.reason);
    const auto offset = static_cast<std::size_t>(fcl_error_offset(handle, text.c_str()));
    const std::string stopped_at = fcl_error_token(handle);
    outcome.stopped_at = stopped_at;
    const std::string before = printable(text.substr(0, offset < text.size() ? offset : text.size()), codec);
    const std::size_t column = display_width(before, codec.raw());
    outcome.where = "  " + printable(text, codec) + "\n  " + std::string(column, ' ') + "^";
    if (stopped_at.empty()) outcome.token = "at the end of the formula";
    else if (outcome.status == FCL_E_UNKNOWN_NAME) outcome.token = "unknown function " + printable(stopped_at, codec);
    else outcome.token = "at \"" + printable(stopped_at, codec) + "\"";
    return outcome;
}

// ---- Reading compiled formulas ----------------------------------------------------------

std::vector<FormulaItem> formula_items(const std::uint8_t* code, bool text_numbers) {
    std::vector<FormulaItem> items;
    std::size_t length = fcl_code_length(code);
    if (length > FCL_MAX_CODE) length = FCL_MAX_CODE;
    std::size_t pos = FCL_CODE_HEADER;
    while (pos < length) {
        const std::size_t size = fcl_value_size(code + pos, length - pos, text_numbers);
        if (size == 0) break;
        items.push_back({pos, code + pos, size});
        pos += size;
    }
    return items;
}

unsigned call_index(const FormulaItem& item) { return item.bytes[0] == FCL_T_FUNCTION ? item.bytes[1] : 0; }

namespace {

struct FlagWord {
    std::uint8_t bit;
    const char* word;
};

constexpr FlagWord kFlagWords[] = {
    {FCL_FLAG_AND, "and"},
    {FCL_FLAG_OR, "or"},
    {FCL_FLAG_COMPARISON, "comparison"},
    {FCL_FLAG_ARITHMETIC, "arithmetic"},
    {FCL_FLAG_FUNCTION, "function"},
    {FCL_FLAG_NAME, "name reference"},
    {FCL_FLAG_LEFT_NOT_NAME, "comparison on a non-name"},
    {FCL_FLAG_LEAF_COMPARISON, "comparison of two leaves"},
};

// The formula flags as words: "comparison, function".
std::string describe_flags(std::uint8_t flags) {
    std::string out;
    for (const auto& entry : kFlagWords) {
        if (!(flags & entry.bit)) continue;
        if (!out.empty()) out += ", ";
        out += entry.word;
    }
    return out.empty() ? "none" : out;
}

// One line of the listing: "number 3", "string "AB"", "field [Name]", "name Amount",
// "call 21 LEFT/2", ... Strings and names stay in code page 932.
std::string describe_item(const FormulaItem& item, bool text_numbers) {
    const std::uint8_t* value = item.bytes;
    const char* text = reinterpret_cast<const char*>(value + 1);
    switch (value[0]) {
        case FCL_T_STRING: return std::string("string \"") + text + "\"";
        case FCL_T_NUMBER: {
            if (!text_numbers) {
                std::uint8_t number[1 + sizeof(double)];
                std::memcpy(number, value, sizeof number);
                drop_negative_zero(number, false);
                return "number " + number_text(number, false);
            }
            std::string line = "number " + number_text(value, text_numbers);
            if (plain_decimal(text) != text) line += std::string(" (payload ") + text + ")";
            return line;
        }
        case FCL_T_FIELD: return std::string("field [") + text + "]";
        case FCL_T_NAME: return std::string("name ") + text;
        case FCL_T_FUNCTION: {
            const FunctionName* function = function_name(value[1]);
            std::string line = "call " + std::to_string(value[1]) + " ";
            if (!function) return line + "(no such function)";
            return line + function->name + "/" + std::to_string(function->argc);
        }
        default: return std::string(value_type_word(value[0])) + " " + value_text(value, text_numbers);
    }
}

// ---- One formula with its --field values ------------------------------------------------

struct SingleFormula {
    std::vector<std::string> cells;  // field values, code page 932
    unsigned char code[FCL_MAX_CODE] = {};
    std::uint16_t length = 0;
};

// The codecs of a command's arguments and of its output (the terminal's), which differ only on
// Windows, where the arguments are always UTF-8.
struct CommandCodecs {
    explicit CommandCodecs(const Options& options)
        : arguments(options.arguments_cp932), terminal(options.terminal_cp932) {}
    TextCodec arguments;
    TextCodec terminal;
};

// Registers each --field NAME=TYPE:VALUE with the host and puts its value (code page 932) into
// `cells`. Returns kExitOk, or the exit status after saying what is wrong: a malformed entry is
// a usage error, text that code page 932 cannot hold a data failure.
int load_command_fields(const Options& options, CommandCodecs& codecs, RecordHost& host,
                        std::vector<std::string>& cells) {
    for (const auto& entry : options.fields) {
        const std::string shown = recoded(entry, codecs.arguments, codecs.terminal);
        const auto equals = entry.find('=');
        const auto colon = equals == std::string::npos ? std::string::npos : entry.find(':', equals);
        if (equals == 0 || colon == std::string::npos)
            return usage_error(options.command, "--field wants NAME=TYPE:VALUE, not \"" + shown + "\"");
        const std::string label = entry.substr(0, equals);
        const std::string type_word = entry.substr(equals + 1, colon - equals - 1);
        const std::uint8_t type = type_from_name(type_word);
        if (!type)
            return usage_error(options.command, "--field " + recoded(label, codecs.arguments, codecs.terminal) +
                                                    ": type \"" +
                                                    recoded(type_word, codecs.arguments, codecs.terminal) +
                                                    "\" is not " + type_words_phrase());
        std::string name;
        std::string value;
        Unmappable problem;
        if (!codecs.arguments.to_cp932(label, name, problem, false) ||
            !codecs.arguments.to_cp932(entry.substr(colon + 1), value, problem, false)) {
            std::fprintf(stderr, "fcl: --field %s: %s\n", recoded(label, codecs.arguments, codecs.terminal).c_str(),
                         problem.phrase(!codecs.terminal.raw()).c_str());
            return kExitFormula;
        }
        host.add_field(name, type, cells.size());
        cells.push_back(value);
    }
    return kExitOk;
}

// Prints "fcl: <what>: status N: meaning" and the host's detail, if any, on standard error.
void print_failure(const char* what, std::uint16_t status, RecordHost& host, TextCodec& codec) {
    std::fprintf(stderr, "fcl: %s: %s\n", what, status_line(status).c_str());
    if (!host.has_problem()) return;
    std::string detail;
    codec.to_outside(host.take_problem(), detail);
    std::fprintf(stderr, "fcl:   %s\n", detail.c_str());
}

// The common start of eval and compile: loads the fields and compiles the one formula
// argument. Returns kExitOk, or the exit status after printing what went wrong.
int compile_single_formula(const Options& options, CommandCodecs& codecs, RecordHost& host, SingleFormula& formula) {
    if (options.arguments.size() != 1)
        return usage_error(options.command,
                           options.arguments.empty() ? "give the formula" : "give exactly one formula");
    const int loaded = load_command_fields(options, codecs, host, formula.cells);
    if (loaded != kExitOk) return loaded;
    std::string text;
    Unmappable problem;
    if (!codecs.arguments.to_cp932(options.arguments[0], text, problem, false)) {
        std::fprintf(stderr, "fcl: the formula: %s\n", problem.phrase(!codecs.terminal.raw()).c_str());
        return kExitFormula;
    }
    const CompileOutcome compiled =
        compile_with_diagnostics(text, host, formula.code, &formula.length, codecs.terminal);
    if (compiled.status != FCL_OK) {
        const std::string what = compiled.token.empty() ? "cannot compile the formula"
                                                        : "cannot compile the formula (" + compiled.token + ")";
        print_failure(what.c_str(), compiled.status, host, codecs.terminal);
        if (!compiled.where.empty()) std::fprintf(stderr, "%s\n", compiled.where.c_str());
        if (!compiled.reason.empty()) std::fprintf(stderr, "fcl:   %s\n", compiled.reason.c_str());
        const std::string length_problem = formula_length_problem(text.size());
        if (!length_problem.empty()) std::fprintf(stderr, "fcl:   %s\n", length_problem.c_str());
        return kExitFormula;
    }
    return kExitOk;
}

}  // namespace

// ---- fcl eval FORMULA: compile, run once with the --field values, print "<type> <value>" --

int run_eval(const Options& options) {
    CommandCodecs codecs(options);
    RecordHost host(options.text_numbers);
    SingleFormula formula;
    const int exit_status = compile_single_formula(options, codecs, host, formula);
    if (exit_status != kExitOk) return exit_status;

    // One record that is its own group: aggregates report its value.
    std::int32_t mode = 1;
    FCLINIT(0, &mode);
    const std::vector<std::string_view> cells(formula.cells.begin(), formula.cells.end());
    host.begin_record(&cells, 2, true);
    unsigned char result[FCL_MAX_VALUE] = {};
    const std::uint16_t status = FCLEXECUTE(RecordHost::callback, &host, formula.code, result);
    mode = 2;
    FCLINIT(0, &mode);
    if (status != FCL_OK) {
        print_failure("the formula failed", status, host, codecs.terminal);
        return kExitFormula;
    }
    drop_negative_zero(result, options.text_numbers);
    std::string text;
    if (!codecs.terminal.to_outside(value_text(result, options.text_numbers, options.exact), text))
        std::fprintf(stderr, "fcl: the result has bytes with no character; they are shown as \\xNN\n");
    std::printf("%s %s\n", value_type_word(result[0]), text.c_str());
    return kExitOk;
}

// ---- fcl compile FORMULA: the compiled formula as hex bytes and as a listing of its items --

int run_compile(const Options& options) {
    CommandCodecs codecs(options);
    RecordHost host(options.text_numbers);
    SingleFormula formula;
    const int exit_status = compile_single_formula(options, codecs, host, formula);
    if (exit_status != kExitOk) return exit_status;

    std::printf("%u bytes:", formula.length);
    for (unsigned i = 0; i < formula.length && i < FCL_MAX_CODE; ++i) std::printf(" %02X", formula.code[i]);
    std::printf("\nresult %s, flags 0x%02X (%s)\n", type_mask_words(formula.code[0]).c_str(), formula.code[1],
                describe_flags(formula.code[1]).c_str());
    for (const auto& item : formula_items(formula.code, options.text_numbers)) {
        std::string line;
        codecs.terminal.to_outside(describe_item(item, options.text_numbers), line);
        std::printf("%5zu  %s\n", item.offset, line.c_str());
    }
    return kExitOk;
}

// ---- fcl functions [NAME]: the vocabulary, one function record a line --------------------

namespace {

// An argument or result mask as words: "any", "any-but-logical", or the types it allows.
std::string mask_words(std::uint16_t mask) {
    if (mask == FCL_T_ANY) return "any";
    if (mask == FCL_T_ANY_BUT_LOGICAL) return "any-but-logical";
    return type_mask_words(mask);
}

bool same_name(const char* a, const std::string& b) {
    std::size_t i = 0;
    for (; a[i] != '\0' && i < b.size(); ++i)
        if (a[i] != (b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 'a' + 'A') : b[i])) return false;
    return a[i] == '\0' && i == b.size();
}

}  // namespace

int run_functions(const Options& options) {
    if (options.arguments.size() > 1) return usage_error("functions", "give at most one function name");
    const std::string wanted = options.arguments.empty() ? "" : options.arguments[0];
    int shown = 0;
    for (unsigned index = 1; index <= fcl::kFunctionCount; ++index) {
        const FunctionName& function = *function_name(index);
        if (!wanted.empty() && !same_name(function.name, wanted)) continue;
        std::string signature = std::string(function.name) + "(";
        for (unsigned k = 0; k < function.argc; ++k) signature += (k ? ", " : "") + mask_words(function.arg_masks[k]);
        signature += ") -> " + mask_words(function.result_mask);
        if (std::printf("%3u  %-58s %s\n", index, signature.c_str(), function.summary) < 0) return kExitUsage;
        ++shown;
    }
    if (shown == 0) {
        std::fprintf(stderr, "fcl functions: no function is named %s\n", wanted.c_str());
        return kExitUsage;
    }
    return kExitOk;
}

// ---- fcl gen-orders N: order records as CSV ----------------------------------------------
// In category blocks (ready for --group-by Category), from a fixed-seed generator so that runs
// can be repeated.

namespace {

struct Item {
    const char* name;
    int price;
};

struct Category {
    const char* name;
    Item items[4];
};

constexpr Category kCategories[] = {
    {"文具", {{"ボールペン", 120}, {"ノート A5", 180}, {"ファイル", 250}, {"万年筆", 5800}}},
    {"書籍", {{"料理の本", 1650}, {"旅行ガイド", 1430}, {"技術書", 3520}, {"文庫本", 770}}},
    {"食品", {{"緑茶 100g", 860}, {"せんべい", 430}, {"味噌 1kg", 980}, {"醤油 1L", 540}}},
    {"家電", {{"電気ケトル", 4980}, {"ドライヤー", 6980}, {"炊飯器", 19800}, {"扇風機", 8800}}},
};

constexpr const char* kCustomers[] = {
    "山田 太郎", "佐藤 花子", "鈴木 一郎", "高橋 美咲", "田中 健",   "伊藤 直子", "渡辺 翔",
    "中村 由美", "小林 誠",   "加藤 愛",   "吉田 大輔", "山本 さくら", "松本 拓也", "井上 恵",
};

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    // splitmix64
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    unsigned below(unsigned limit) { return static_cast<unsigned>(next() % limit); }

private:
    std::uint64_t state_;
};

// Day `day` (0-based) of 2024 as yyyy/mm/dd.
std::string date_of_2024(unsigned day) {
    constexpr unsigned kMonthDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    unsigned month = 0;
    while (month < 11 && day >= kMonthDays[month]) day -= kMonthDays[month++];
    char text[16];
    std::snprintf(text, sizeof text, "2024/%02u/%02u", month + 1, day + 1);
    return text;
}

}  // namespace

int run_gen_orders(const Options& options) {
    constexpr unsigned kCategoryCount = sizeof kCategories / sizeof kCategories[0];
    constexpr unsigned kCustomerCount = sizeof kCustomers / sizeof kCustomers[0];
    // Record i of N belongs to category i * kCategoryCount / N, which must not overflow.
    constexpr unsigned long long kMostRecords = ~0ull / kCategoryCount;
    if (options.arguments.size() != 1)
        return usage_error("gen-orders", options.arguments.empty() ? "give the number of records"
                                                                   : "give one number of records");
    unsigned long long count = 0;
    std::string why;
    if (!read_count(options.arguments[0], kMostRecords, count, why))
        return usage_error("gen-orders", "\"" + options.arguments[0] + "\" is not a count of records: " + why);
    // The texts in the output encoding, converted once.
    TextCodec codec(false);
    const auto shown = [&](const char* text) {
        std::string out = text;
        if (options.terminal_cp932) codec.to_cp932(text, out);
        return out;
    };
    std::vector<std::string> customers;
    for (const char* customer : kCustomers) customers.push_back(shown(customer));
    std::vector<std::string> categories;
    std::vector<std::vector<std::string>> items;
    for (const auto& category : kCategories) {
        categories.push_back(shown(category.name));
        items.emplace_back();
        for (const auto& item : category.items) items.back().push_back(shown(item.name));
    }

    Random random(options.seed);
    OutputSink sink(stdout);
    sink.write("OrderNo:number,OrderDate:date,Customer:string,Category:string,Item:string,Qty:number,Price:number\n");
    for (unsigned long long i = 0; i < count; ++i) {
        const unsigned category = static_cast<unsigned>(i * kCategoryCount / count);
        const unsigned item = random.below(4);
        std::string line = std::to_string(i + 1);
        line += ',';
        line += date_of_2024(random.below(366));
        line += ',';
        line += customers[random.below(kCustomerCount)];
        line += ',';
        line += categories[category];
        line += ',';
        line += items[category][item];
        line += ',';
        line += std::to_string(1 + random.below(12));
        line += ',';
        line += std::to_string(kCategories[category].items[item].price);
        line += '\n';
        sink.write(line);
        if (std::ferror(stdout)) break;
    }
    return kExitOk;
}

}  // namespace fcltool
