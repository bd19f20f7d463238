// Runs every tests/cases/*.cases file: each line compiles and executes one formula (or runs a
// hand-built block, or calls one Num function) and checks the outcome. The format is described
// in tests/cases/README.md.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "analysis/analysis.h"
#include "case_text.h"
#include "executor/stack_machine.h"
#include "fclib.h"
#include "fresh_process.h"
#include "functions/function_table.h"
#include "interface/settings.h"
#include "profile_file.h"

namespace fcl::test {
namespace {

// A value the host hands over: its type word (raw format in the high byte) and raw bytes.
struct Value {
    std::uint16_t type;
    std::string bytes;
};

// The values one aggregate call receives, and the end mark after them.
struct Batch {
    std::vector<Value> values;
    std::uint16_t end = FCL_AGG_CONTINUE;
};

// The host of the runs: the fields, the aggregate protocol, and a log of what was asked.
struct Host {
    std::map<std::string, Value> fields;
    std::uint16_t pass_key = 1;
    std::uint16_t query_answer = FCL_AGG_RESET;
    int again = 0;  // "again" answers before every real one; -1: for ever
    std::map<std::string, std::deque<Batch>> batches;
    std::string handing_out;  // the name whose batch is partly handed out
    std::size_t cursor = 0;
    int pending_again = 0;
    std::vector<std::string> log;

    // A new run: a call that stopped in the middle of its batch (at the slot limit) drops it.
    void new_run() {
        if (cursor > 0 && !batches[handing_out].empty()) batches[handing_out].pop_front();
        cursor = 0;
        pending_again = 0;
        log.clear();
    }
};

Host* g_host = nullptr;  // aggregate requests do not carry the callback data

// The requests of a run and the host's answers, kept so that the walk's run of the same block
// gets the same answers. A host that answers "again" a million times asks the same a million
// times: equal neighbours are kept once, with a count.
struct Exchange {
    std::string request;  // what was asked, with the type word on entry
    std::int32_t answer;
    std::uint16_t type;   // the type word on return
    std::string written;  // the bytes the host wrote to the raw buffer
    std::size_t times;
};

struct Exchanges {
    std::vector<Exchange> list;
    std::string written;  // by the answer being recorded
    bool recording = false, replaying = false;
    std::size_t next = 0, used = 0;  // the exchange the replay is at, and how often it was used
    std::string diverged;            // the replay's first request that the run did not ask there
} g_exchanges;

void put_raw(void* raw, const std::string& bytes) {
    // A value of FCL_RAW_BUFFER bytes or more is handed over without its terminator.
    const std::size_t size = std::min<std::size_t>(bytes.size() + 1, FCL_RAW_BUFFER);
    std::memcpy(raw, bytes.c_str(), size);
    g_exchanges.written.assign(bytes.c_str(), size);
}

std::int32_t host_answer(void* first, const char* name, void* raw, std::uint16_t* type);

// Answers as the host does and keeps the exchange, or, while the walk runs, answers each
// request as the recorded run was answered at the same point.
std::int32_t host_callback(void* first, const char* name, void* raw, std::uint16_t* type) {
    Exchanges& x = g_exchanges;
    if (!x.recording && !x.replaying) return host_answer(first, name, raw, type);
    std::int32_t request = 2;
    if (first != g_host) std::memcpy(&request, first, sizeof request);
    static std::string asked;
    asked = first == g_host ? "field" : request == 2 ? "value" : request == 3 ? "query" : static_cast<const char*>(first);
    asked.append("(").append(name).append(",").append(std::to_string(*type)).append(")");
    if (x.replaying) {
        if (x.next == x.list.size() || x.list[x.next].request != asked) {
            if (x.diverged.empty()) x.diverged = asked + ", where the run asked " +
                                                 (x.next < x.list.size() ? x.list[x.next].request : "nothing");
            return 1;
        }
        const Exchange& answer = x.list[x.next];
        if (++x.used == answer.times) ++x.next, x.used = 0;
        *type = answer.type;
        if (raw) std::memcpy(raw, answer.written.data(), answer.written.size());
        return answer.answer;
    }
    x.written.clear();
    const std::int32_t answer = host_answer(first, name, raw, type);
    Exchange* last = x.list.empty() ? nullptr : &x.list.back();
    if (last && last->request == asked && last->answer == answer && last->type == *type && last->written == x.written)
        ++last->times;
    else
        x.list.push_back({asked, answer, *type, x.written, 1});
    return answer;
}

std::int32_t host_answer(void* first, const char* name, void* raw, std::uint16_t* type) {
    Host& host = *g_host;
    if (first == &host) {
        if (!raw) host.log.push_back("type(" + std::string(name) + "," + std::to_string(*type) + ")");
        auto found = host.fields.find(name);
        if (found == host.fields.end()) found = host.fields.find("*");
        if (found == host.fields.end()) return 1;
        *type = found->second.type;
        if (raw) put_raw(raw, found->second.bytes);
        return 0;
    }
    std::int32_t request = 0;
    std::memcpy(&request, first, sizeof request);
    if (request == 3) {
        host.log.push_back("query");
        return host.query_answer;
    }
    const bool p_form = request != 2;
    if (host.pending_again == 0)
        host.log.push_back((p_form ? std::string(static_cast<const char*>(first)) : "value") + "(" + name + "," +
                           std::to_string(*type) + ")");
    if (host.again < 0 || host.pending_again < host.again) {
        ++host.pending_again;
        return p_form ? 1 : FCL_AGG_RESET;
    }
    host.pending_again = 0;
    std::deque<Batch>& queue = host.batches[name];
    host.handing_out = name;
    if (queue.empty() || host.cursor == queue.front().values.size()) {
        *type = p_form ? FCL_AGG_RESET : queue.empty() ? FCL_AGG_CONTINUE : queue.front().end;
        if (!queue.empty()) queue.pop_front();
        host.cursor = 0;
    } else {
        const Value& value = queue.front().values[host.cursor++];
        *type = value.type;
        put_raw(raw, value.bytes);
    }
    return p_form ? 0 : host.pass_key;
}

// TYPE:VALUE. TYPE is a type name (VALUE is its text), double or i32 (VALUE is read as a
// number and handed over in that raw format), or a type word such as 0x8002 (VALUE are the
// raw bytes, \xNN escapes resolved).
bool parse_value(const std::string& word, Value& value) {
    static const std::map<std::string, std::uint16_t> kTypes = {
        {"string", FCL_T_STRING}, {"number", FCL_T_NUMBER}, {"logical", FCL_T_LOGICAL},
        {"time", FCL_T_TIME},     {"date", FCL_T_DATE}};
    const std::size_t colon = word.find(':');
    if (colon == std::string::npos) return false;
    const std::string type = word.substr(0, colon);
    const std::string text = unescape(word.substr(colon + 1));
    if (type == "double" || type == "i32") {
        const double x = std::strtod(text.c_str(), nullptr);
        const std::int32_t n = static_cast<std::int32_t>(x);
        value.type = type == "double" ? FCL_T_NUMBER | (FCL_RAW_DOUBLE << 8) : FCL_T_NUMBER | (FCL_RAW_I32 << 8);
        value.bytes = type == "double" ? std::string(reinterpret_cast<const char*>(&x), sizeof x)
                                       : std::string(reinterpret_cast<const char*>(&n), sizeof n);
        return true;
    }
    value.bytes = text;
    if (kTypes.count(type)) {
        value.type = kTypes.at(type);
        return true;
    }
    char* end = nullptr;
    value.type = static_cast<std::uint16_t>(std::strtol(type.c_str(), &end, 0));
    return !type.empty() && *end == '\0';
}

// A formula with its \xNN escapes resolved: raw bytes that UTF-8 case files cannot spell.
std::string raw_bytes(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (is_lead(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size()) {
            out += text.substr(i++, 2);  // a double-byte character, whose trail byte may be "\\"
        } else if (text.compare(i, 2, "\\x") == 0 && i + 3 < text.size() && std::isxdigit(text[i + 2] & 0xFF) &&
                   std::isxdigit(text[i + 3] & 0xFF)) {
            out += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string hex_bytes(const unsigned char* code, size_t length) {
    std::string out;
    char byte[4];
    for (size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", code[i]);
        out += byte;
    }
    return out;
}

std::string normalise_hex(const std::string& text) {
    std::string out;
    for (const std::string& word : split_words(text)) {
        if (!out.empty()) out += ' ';
        for (char c : word) out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

// The items of a compiled formula in postfix order: [field], name, numbers (%g, or the payload
// in text-number mode), "string", logical:1, time:hhmmss, date:yyyymmdd, function names.
std::string listing(const unsigned char* code, std::size_t length, bool text_numbers) {
    std::string out;
    for (std::size_t at = 4; at + 1 < length;) {
        const unsigned char* item = code + at;
        const std::string text = reinterpret_cast<const char*>(item + 1);
        if (!out.empty()) out += ' ';
        std::size_t size = text.size() + 2;
        switch (item[0]) {
            case FCL_T_STRING: out += "\"" + text + "\""; break;
            case FCL_T_NUMBER:
                if (text_numbers) {
                    out += text;
                } else {
                    double x;
                    std::memcpy(&x, item + 1, sizeof x);
                    char number[64];
                    std::snprintf(number, sizeof number, "%g", x);
                    out += number;
                    size = 9;
                }
                break;
            case FCL_T_LOGICAL: out += "logical:" + std::to_string(item[1]); size = 2; break;
            case FCL_T_TIME: out += "time:" + text; break;
            case FCL_T_DATE: out += "date:" + text; break;
            case FCL_T_FIELD: out += "[" + text + "]"; size += 2; break;
            case FCL_T_NAME: out += text; size += 2; break;
            case FCL_T_FUNCTION: {
                const FunctionRecord* record = function_record(item[1]);
                out += record ? record->name : "?";
                size = 2;
                break;
            }
            default: return out + "<bad item>";
        }
        at += size;
    }
    return out;
}

// The profile of the run: none unless a case file writes one. Each change reads the load-time
// settings again.
void write_profile_file(const std::string& name, const std::string& contents) {
    write_profile(name, contents);
    fcl::on_process_attach();
}

void clear_profile() {
    remove_profile();
    fcl::on_process_attach();
}

class CaseRunner {
public:
    explicit CaseRunner(std::string file) : file_(std::move(file)) {}

    void run() {
        std::ifstream in(file_, std::ios::binary);
        ASSERT_TRUE(in) << file_;
        std::vector<std::string> lines;
        bool sequential = false;
        // In a Markdown document only the lines of its ```cases blocks are cases (the others
        // stay as blank lines, so that line numbers still point into the document).
        const bool markdown = file_.size() > 3 && file_.compare(file_.size() - 3, 3, ".md") == 0;
        bool in_block = false;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (markdown) {
                const bool fence = line.rfind("```", 0) == 0;
                if (fence) in_block = !in_block && line == "```cases";
                if (fence || !in_block) line.clear();
            }
            lines.push_back(line);
            sequential = sequential || line == "@sequential";
        }
        // Sequential files run whole, once per number encoding; others run each line in both.
        for (const int pass : sequential ? std::vector<int>{0, 1} : std::vector<int>{-1}) {
            pass_mode_ = pass;
            read(lines);
            *this = CaseRunner(file_, cases_);
            clear_profile();
            const int32_t release = 2;
            FCLINIT(0, &release);
            FCLSETMODE(0);
            NumSetup(FCL_BACKEND_DECIMAL);
        }
    }

    int cases() const { return cases_; }

private:
    CaseRunner(std::string file, int cases) : file_(std::move(file)), cases_(cases) {}

    void read(const std::vector<std::string>& lines) {
        g_host = &host_;
        for (line_no_ = 1; line_no_ <= static_cast<int>(lines.size()); ++line_no_) {
            const std::string& line = lines[line_no_ - 1];
            if (line.empty() || line[0] == '#') continue;
            std::string text;
            if (!utf8_to_cp932(line, text)) {
                ADD_FAILURE() << where() << "text has no code page 932 form";
                continue;
            }
            if (text[0] == '@') directive(text);
            else run_case(text);
        }
    }

    std::string where() const { return file_ + ":" + std::to_string(line_no_) + ": "; }

    void directive(const std::string& text) {
        std::vector<std::string> words = split_words(text.substr(1));
        if (words.empty()) return;
        const std::string name = words[0];
        words.erase(words.begin());
        const auto number = [&](std::size_t i) { return i < words.size() ? std::strtol(words[i].c_str(), nullptr, 0) : 0; };
        if (name == "mode") {
            modes_ = words.size() == 1 ? words[0] : "";
            ASSERT_TRUE(modes_ == "double" || modes_ == "text" || modes_ == "both") << where() << text;
        } else if (name == "backend") {
            text_backend_ = words.size() == 1 && words[0] == "double" ? FCL_BACKEND_DOUBLE : FCL_BACKEND_DECIMAL;
        } else if (name == "fields") {
            host_.fields.clear();
            for (const std::string& word : words) {
                const std::size_t equals = word.find('=');
                Value value;
                if (equals == std::string::npos || !parse_value(word.substr(equals + 1), value))
                    ADD_FAILURE() << where() << "field must be NAME=TYPE:VALUE: " << word;
                else host_.fields[unescape(word.substr(0, equals))] = value;
            }
        } else if (name == "profile") {
            std::string contents = "[Fclib]\n";
            for (const std::string& entry : words) contents += entry + "\n";
            write_profile_file("ORBISRPT.INI", contents);
        } else if (name == "profile-file" && words.size() == 2) {
            write_profile_file(words[0], unescape(words[1]));
        } else if (name == "init" && !words.empty()) {
            // In the number encoding of the pass, or with "other" in the other one.
            const int32_t mode = static_cast<int32_t>(number(0));
            FCLSETMODE(words.size() > 1 && words[1] == "other" ? pass_mode_ != 1 : pass_mode_ == 1);
            EXPECT_EQ(FCLINIT(0, &mode), 1) << where();
        } else if (name == "pass") {
            host_.pass_key = static_cast<std::uint16_t>(number(0));
        } else if (name == "query") {
            host_.query_answer = static_cast<std::uint16_t>(number(0));
        } else if (name == "again") {
            host_.again = words.size() == 1 && words[0] == "always" ? -1 : static_cast<int>(number(0));
        } else if (name == "values" && !words.empty()) {
            Batch batch;
            for (std::size_t i = 1; i < words.size(); ++i) {
                Value value;
                const bool typed = words[i].find(':') != std::string::npos;
                if (words[i] == "end=reset") batch.end = FCL_AGG_RESET;
                else if (parse_value(typed ? words[i] : "number:" + words[i], value)) batch.values.push_back(value);
                else ADD_FAILURE() << where() << "bad value " << words[i];
            }
            for (int i = 0; i < std::max(repeat_, 1); ++i) host_.batches[words[0]].push_back(batch);
            repeat_ = 0;
        } else if (name == "requests") {
            EXPECT_EQ(host_.log, words) << where() << "requests of the case before";
        } else if (name == "repeat") {
            repeat_ = static_cast<int>(number(0));
        } else if (name == "expect-lint" && words.size() == 1) {
            expected_lint_ = words[0];
        } else if (name != "sequential" && name != "fresh-process") {
            ADD_FAILURE() << where() << "unknown directive " << text;
        }
    }

    // The analysis of a formula: its linter warnings' codes, comma-separated (the first
    // warning's fix applied to the formula in fixed), or its failure's status and reason.
    std::string lint_codes(const std::string& formula, int32_t mode, std::string* fixed = nullptr) {
        static fcl::analysis::Analysis result;
        if (fcl::analysis::analyze(nullptr, host_callback, &host_, formula.c_str(), result) != FCL_OK)
            return "status " + std::to_string(result.diagnostic.status) + " reason " + result.diagnostic.reason;
        static fcl::analysis::LintResult warnings;
        fcl::analysis::lint(result, mode == 0, warnings);
        std::string codes;
        for (std::size_t i = 0; i < warnings.count; ++i) codes += (i ? "," : "") + std::string(warnings.warnings[i].code);
        if (fixed && warnings.count > 0 && warnings.warnings[0].has_fix) {
            const fcl::analysis::Fix& fix = warnings.warnings[0].fix;
            *fixed = formula.substr(0, fix.span.begin) + fix.text + formula.substr(fix.span.end);
        }
        return codes;
    }

    // `lint CODE[,CODE] [fixed "FORMULA"]`: the warnings, and the formula with the first one's
    // fix; `status N reason "TEXT"`: a compile that fails, and why.
    void check_analysis(const std::string& formula, const std::string& expectation, int32_t mode,
                        const std::string& label) {
        std::string fixed;
        const std::string actual = lint_codes(formula, mode, &fixed);
        const std::vector<std::string> words = split_words(expectation);
        if (words.size() >= 3 && words[0] == "status") {
            EXPECT_EQ(actual, words[0] + " " + words[1] + " reason " + raw_bytes(words[3])) << label;
            return;
        }
        EXPECT_EQ(actual, words.size() > 1 ? words[1] : "") << label;
        // The fixed formula is the rest of the line as it stands.
        const std::size_t at = expectation.find(" fixed ");
        if (at != std::string::npos) {
            EXPECT_EQ(fixed, raw_bytes(expectation.substr(at + 7))) << label << "fix";
        }
    }

    void run_case(const std::string& text) {
        const size_t separator = text.find(" ==> ");
        if (separator == std::string::npos) {
            ADD_FAILURE() << where() << "missing ' ==> '";
            return;
        }
        const std::string formula = raw_bytes(text.substr(0, separator));
        const std::string expectation = text.substr(separator + 5);
        ++cases_;
        linted_ = false;
        for (int round = 0; round < std::max(repeat_, 1); ++round) {
            if (num_case(formula, expectation)) continue;
            for (const int mode : {0, 1}) {
                const bool wanted = modes_ == "both" || modes_ == (mode ? "text" : "double");
                if (wanted && (pass_mode_ < 0 || pass_mode_ == mode)) check(formula, expectation, mode);
            }
        }
        repeat_ = 0;
        expected_lint_.clear();
        FCLSETMODE(0);
        NumSetup(FCL_BACKEND_DECIMAL);
    }

    void check(const std::string& formula, const std::string& expectation, int32_t mode) {
        NumSetup(text_backend_ == FCL_BACKEND_DOUBLE && mode ? FCL_BACKEND_DOUBLE : FCL_BACKEND_DECIMAL);
        FCLSETMODE(mode);
        host_.new_run();
        const std::string label = where() + formula + (mode ? " [text]" : " [double]") + ": ";
        const size_t space = expectation.find(' ');
        const std::string kind = expectation.substr(0, space);
        const std::string want = space == std::string::npos ? "" : expectation.substr(space + 1);

        if (kind == "lint" || expectation.find(" reason ") != std::string::npos) {
            check_analysis(formula, expectation, mode, label);
            return;
        }
        unsigned char code[FCL_MAX_CODE + 16];
        std::memset(code, 0xCD, sizeof code);
        uint16_t length = 0;
        uint16_t compiled = 0;
        if (formula.size() > 2 && formula.front() == '{' && formula.back() == '}') {
            // A block given byte by byte runs as it is.
            for (const std::string& word : split_words(formula.substr(1, formula.size() - 2)))
                if (length < FCL_MAX_CODE) code[length++] = static_cast<unsigned char>(std::stoi(word, nullptr, 16));
        } else {
            compiled = FCLCOMPILE(host_callback, &host_, formula.c_str(), code, &length);
            EXPECT_EQ(code[length], 0xCD) << label << "compile wrote past the block";
        }
        if (kind == "bytes" || kind == "items" || kind == "header" || kind == "call") {
            EXPECT_EQ(compiled, 0) << label;
            std::string actual = hex_bytes(code, length);
            if (kind == "items") actual = listing(code, length, mode != 0);
            if (kind == "header") actual = hex_bytes(code, 2);
            if (kind == "call") actual = code[length - 3] == FCL_T_FUNCTION ? std::to_string(code[length - 2]) : "none";
            EXPECT_EQ(actual, kind == "bytes" || kind == "header" ? normalise_hex(want) : want) << label;
            return;
        }
        if (compiled != 0) {
            EXPECT_EQ("status " + std::to_string(compiled), expectation) << label << "compile failed";
            EXPECT_EQ(hex_bytes(code, length), "01 00 07 00 01 00 00") << label << "empty formula after failure";
            return;
        }
        // Every formula that the case files compile is one the linter has nothing against.
        if (!linted_ && formula.front() != '{') {
            const std::vector<std::string> asked = host_.log;
            EXPECT_EQ(lint_codes(formula, mode), expected_lint_) << label << "linter warnings";
            host_.log = asked;
            linted_ = true;
        }
        unsigned char result[FCL_MAX_VALUE];
        std::memset(result, 0xAA, sizeof result);
        const uint16_t status = execute_and_walk(code, length, result, mode != 0, label);
        const std::string actual = status ? "status " + std::to_string(status) : describe_value(result, mode);
        if (status) {
            EXPECT_EQ(actual, expectation) << label;
            check_blank(code[0], result, mode != 0, label);
            return;
        }
        EXPECT_TRUE(matches(kind, want, result, mode != 0)) << label << "expected " << expectation << ", got "
                                                            << actual;
    }

    // Runs the block by FCLEXECUTE and, unless its value depends on more than the host's answers
    // (on the process-wide state that PAGE and the plain aggregates step, or on the clock), by
    // the plain walk through the handlers too, on a context of its own and answered by the host
    // as the run was: the walk must end with the same status, result value and requests.
    std::uint16_t execute_and_walk(const unsigned char* code, std::size_t length, unsigned char* result, bool text,
                                   const std::string& label) {
        g_exchanges = Exchanges{};
        for (std::size_t at = 4, size = 1; at + 1 < length; at += std::max<std::size_t>(size, 1)) {
            size = fcl_value_size(code + at, length - at, text);
            const FunctionRecord* record = code[at] == FCL_T_FUNCTION ? function_record(code[at + 1]) : nullptr;
            const std::string name = record ? record->name : "";
            if (name == "COUNT" || name == "SUM" || name == "AVG" || name == "MIN" || name == "MAX" ||
                name == "DATE" || name == "TIME" || (name == "PAGE" && record->argc == 0))
                return FCLEXECUTE(host_callback, &host_, code, result);
        }
        g_exchanges.recording = true;
        const std::uint16_t status = FCLEXECUTE(host_callback, &host_, code, result);
        g_exchanges.recording = false;
        static Context& walk_context = *static_cast<Context*>(FCLCREATEHANDLE());
        unsigned char walked[FCL_MAX_VALUE];
        std::memset(walked, 0xAA, sizeof walked);
        g_exchanges.replaying = true;
        const std::uint16_t walk_status = run_formula_walk(walk_context, host_callback, &host_, code, walked);
        g_exchanges.replaying = false;
        const auto bytes = [&](const unsigned char* value) {
            return hex_bytes(value, std::max<std::size_t>(fcl_value_size(value, FCL_MAX_VALUE, text), 1));
        };
        EXPECT_EQ(walk_status, status) << label << "status of the walk";
        EXPECT_EQ(bytes(walked), bytes(result)) << label << "result of the walk";
        EXPECT_EQ(g_exchanges.diverged, "") << label << "request of the walk";
        EXPECT_EQ(g_exchanges.next, g_exchanges.list.size()) << label << "the walk asked fewer requests";
        return status;
    }

    // A failed run leaves the blank value of the result type; a mask of several types none.
    static void check_blank(std::uint8_t type, const unsigned char* result, bool text, const std::string& label) {
        static const std::map<std::uint8_t, std::string> blank = {
            {1, "string \"\""}, {4, "logical false"}, {8, "time 000000"}, {16, "date 00000000"}};
        if (type == 2) {
            EXPECT_EQ(describe_value(result, text), text ? "payload 0" : "number 0") << label << "blank value";
        } else if (blank.count(type)) {
            EXPECT_EQ(describe_value(result, text), blank.at(type)) << label << "blank value";
        } else {
            EXPECT_EQ(result[0], 0xAA) << label << "a value was written";
        }
    }

    static bool matches(const std::string& kind, const std::string& want, const unsigned char* result, bool text) {
        if (kind == "number") return result[0] == FCL_T_NUMBER && number_equals(want, result, text);
        if (kind == "payload") return result[0] == FCL_T_NUMBER && text && want == reinterpret_cast<const char*>(result + 1);
        if (kind == "string") return describe_value(result, text) == "string \"" + escape_back(want) + "\"";
        return describe_value(result, text) == kind + " " + want;
    }

    // Re-escapes an expected string the way describe_value shows values.
    static std::string escape_back(const std::string& quoted) {
        std::string inner = quoted.size() >= 2 ? quoted.substr(1, quoted.size() - 2) : quoted;
        const std::string raw = unescape(inner);
        unsigned char value[FCL_MAX_VALUE + 600] = {FCL_T_STRING};
        std::memcpy(value + 1, raw.c_str(), raw.size() + 1);
        const std::string shown = describe_value(value, false);
        return shown.substr(8, shown.size() - 9);
    }

    static bool number_equals(const std::string& want, const unsigned char* result, bool text) {
        if (text) {
            alignas(8) unsigned char expected[FCL_NUM_MAX_SIZE], actual[FCL_NUM_MAX_SIZE];
            NumFromStr(expected, want.c_str());
            NumFromStr(actual, reinterpret_cast<const char*>(result + 1));
            return NumComp(expected, actual) == 0;
        }
        double value;
        std::memcpy(&value, result + 1, sizeof value);
        if (want == "nan") return std::isnan(value);
        if (want == "-0") return value == 0.0 && std::signbit(value);
        return value == std::strtod(want.c_str(), nullptr);
    }

    // NumOp ARGUMENTS ==> TEXT: one call of an exported Num function with the backend of
    // @backend. Number arguments are read with NumFromStr and live at odd addresses; the text is
    // the changed number in full form (NumToStr style 1), or what the function returns.
    bool num_case(const std::string& formula, const std::string& expectation) {
        std::vector<std::string> w = split_words(formula);
        if (w.empty() || w[0].rfind("Num", 0) != 0 || w[0].size() < 4 || !std::isupper(w[0][3])) return false;
        for (std::string& word : w) word = unescape(word);
        w.resize(std::max<std::size_t>(w.size(), 4));
        const std::string op = w[0].substr(3);
        const auto integer = [&](int i) { return static_cast<int32_t>(std::strtol(w[i].c_str(), nullptr, 0)); };
        NumSetup(text_backend_);
        alignas(8) unsigned char area[80] = {};
        unsigned char* a = area + 1;
        unsigned char* b = area + 41;
        char text[FCL_NUM_TEXT_MAX + 8];
        std::memset(text, 0xEE, sizeof text);
        NumFromStr(a, w[1].c_str());
        NumFromStr(b, w[2].c_str());
        static const std::map<std::string, void (*)(void*, const void*)> kBinary = {
            {"Add", NumAdd}, {"Sub", NumSub}, {"Mul", NumMul}, {"Div", NumDiv}};
        static const std::map<std::string, void (*)(void*)> kUnary = {
            {"Zero", NumZero}, {"Min", NumMin}, {"Max", NumMax}, {"Neg", NumNeg}, {"Int", NumInt}, {"Frac", NumFrac}};
        std::string actual;
        if (op == "Setup") {
            NumSetup(integer(1));
            actual = std::to_string(NumType()) + " " + std::to_string(NumSize());
        } else if (op == "Comp") {
            actual = std::to_string(NumComp(a, b));
        } else if (op == "CompInt") {
            actual = std::to_string(NumCompInt(a, integer(2)));
        } else if (op == "IsZero") {
            actual = std::to_string(NumIsZero(a));
        } else if (op == "ToStr") {
            EXPECT_EQ(NumToStr(a, nullptr, integer(2), integer(3)), nullptr) << where();
            actual = NumToStr(a, text, integer(2), integer(3));
            EXPECT_EQ(static_cast<unsigned char>(text[FCL_NUM_TEXT_MAX]), 0xEE) << where() << "written past the text";
        } else {
            if (op == "FromInt") NumFromInt(a, integer(1));
            else if (op == "FromDbl") NumFromDbl(a, std::strtod(w[1].c_str(), nullptr));
            else if (op == "Inc") NumInc(a, integer(2));
            else if (op == "Dec") NumDec(a, integer(2));
            else if (op == "Copy") NumCopy(b, a), NumZero(a), NumCopy(a, b);
            else if (kBinary.count(op)) kBinary.at(op)(a, b);
            else if (kUnary.count(op)) kUnary.at(op)(a);
            else if (op != "FromStr") ADD_FAILURE() << where() << "unknown Num function " << w[0];
            actual = expectation.rfind("bytes ", 0) == 0 ? "bytes " + hex_bytes(a, NumSize()) : NumToStr(a, text, 1, -1);
            // The decimal backend keeps every number in one normal form: the bytes read back
            // from the number's own full text.
            alignas(8) unsigned char again[FCL_NUM_MAX_SIZE];
            NumFromStr(again, NumToStr(a, text, 1, -1));
            if (NumType() == FCL_BACKEND_DECIMAL) {
                EXPECT_EQ(hex_bytes(a, 28), hex_bytes(again, 28)) << where() << "not in normal form";
            }
        }
        EXPECT_EQ(actual, expectation.rfind("bytes ", 0) == 0 ? "bytes " + normalise_hex(expectation.substr(6))
                                                               : expectation)
            << where() << formula;
        NumSetup(FCL_BACKEND_DECIMAL);
        return true;
    }

    std::string file_;
    int line_no_ = 0;
    int cases_ = 0;
    int pass_mode_ = -1;  // the encoding of a sequential file's pass
    int repeat_ = 0;
    bool linted_ = false;  // the case's formula went through the linter
    std::string expected_lint_;  // the warnings of a case that shows a trap on purpose
    std::string modes_ = "both";
    int32_t text_backend_ = FCL_BACKEND_DECIMAL;
    Host host_;
};

// Every case file, then the language reference, whose examples are cases too.
std::vector<std::string> case_files() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(FCLIB_CASES_DIR))
        if (entry.path().extension() == ".cases") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    files.push_back(FCLIB_LANGUAGE_DOC);
    return files;
}

bool wants_fresh_process(const std::string& path) {
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("@fresh-process", 0) == 0) return true;
    return false;
}

class FormulaCases : public ::testing::TestWithParam<std::string> {};

TEST_P(FormulaCases, AllCasesHold) {
    const std::string& path = GetParam();
    const std::function<void()> run_file = [&] {
        clear_profile();
        CaseRunner runner(path);
        runner.run();
        EXPECT_GT(runner.cases(), 0) << "no cases in " << GetParam();
    };
    if (!wants_fresh_process(path)) return run_file();
    in_fresh_process(run_file);
}

INSTANTIATE_TEST_SUITE_P(Files, FormulaCases, ::testing::ValuesIn(case_files()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = std::filesystem::path(info.param).stem().string();
                             for (char& c : name) if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
}  // namespace fcl::test
