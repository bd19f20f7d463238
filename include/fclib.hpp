/*
 * fclib.hpp: a header-only C++17 layer over the C interface of fclib.h.
 *
 * What it adds to the C interface, and nothing more:
 *   fcl::Context   owns one context handle (move-only); compiles and executes.
 *   fcl::Formula   a compiled block held by value (at most FCL_MAX_CODE bytes), which the host
 *                  may store as bytes and load again.
 *   fcl::Value     one tagged value: string, number, logical, time or date.
 *   fcl::Decimal   a number of the current numeric backend, with arithmetic and comparisons.
 *   fcl::Records   the record a run belongs to and where its group ends, for the running
 *                  aggregates (SUM, COUNT, ...); it picks the pass keys.
 *   fcl::Result<T> a T or an fcl::Error {status, message, offset, token}. Failures are
 *                  returned as values, never thrown (only memory exhaustion in the standard
 *                  containers can throw, as std::bad_alloc).
 *
 *     fcl::Context ctx;
 *     auto fields = [](std::string_view name) -> std::optional<fcl::Value> {
 *         if (name == "Price") return fcl::Value::from_number(12.5);
 *         return std::nullopt;                                  // unknown field: status 1005
 *     };
 *     fcl::Result<fcl::Formula> formula = ctx.compile("[Price] * 2", fields);
 *     if (!formula) report(formula.error().message, formula.error().offset);
 *     fcl::Result<fcl::Value> value = ctx.execute(*formula, fields);   // value->number() == 25
 *
 * Field lookups. compile and execute take the fields as any callable that can be called as
 * fields(std::string_view name) and returns std::optional<fcl::Value>. The same callable answers
 * both questions the library asks: at compile time only the type of the returned Value is used,
 * at run time its value. Return a value of the same type both times. std::nullopt means "no such
 * field" and fails the compile or run with FCL_E_CALLBACK (1005); so does an exception thrown by
 * the callable, which is caught before it reaches the library (it never crosses the C callback).
 * The name is the one written in the formula, without brackets, code page 932 bytes; the view is
 * valid only during the call. [Name] and a bare Name are both asked by name.
 * Values reach the library as its raw values: text NUL-terminated with its type code (a string,
 * time or date text ends at its first NUL byte; one longer than FCL_RAW_BUFFER - 1 bytes fails
 * with 1005 rather than being cut), numbers as doubles (FCL_RAW_DOUBLE) or, when made with
 * Value::from_number_text, as number text (exact in text-number mode), logicals as "1" or "0".
 * A lookup may compile or execute in other Contexts, not in the one that is calling it
 * (FCL_E_BUSY, 1010).
 *
 * Aggregates. SUM, AVG, MIN, MAX and COUNT keep running totals across runs, in slots the library
 * holds for the whole process; they need to know which record a run belongs to and which record
 * ends a group. Give execute an fcl::Records for that, and start each record with next():
 *
 *     int32_t fixed = 0;
 *     FCLINIT(0, &fixed);                         // once: work areas of ten slots, all zero
 *     fcl::Records records;
 *     for (std::size_t i = 0; i < rows.size(); ++i) {
 *         records.next(i + 1 == rows.size() || rows[i + 1].group != rows[i].group);
 *         auto total = ctx.execute(sum, fields_of(rows[i]), records);   // SUM([Amount]) so far
 *     }
 *
 * The values folded in come from the same lookup (the aggregate's field, by name). A record
 * whose next() was told it ends its group gives the totals including itself; the totals then
 * start again from zero. Run a record's formulas in the same order every record: the n-th
 * running aggregate of a record uses the same slot each time. The P forms (PSUM, ...) total
 * the one value the lookup gives for their field in that run; they need no Records. A running
 * aggregate run without Records fails with FCL_E_CALLBACK (1005) and says so, as does one
 * whose value the lookup cannot give; more running aggregates in a record than the work areas
 * have slots (none before FCLINIT) fail with the record's pass key as the status. A run that
 * fails before its running aggregates leaves their slots out of that record, so the record's
 * later aggregates of the same kind fold into their neighbours' slots, whose totals stay
 * wrong until their group ends.
 *
 * Threads. A Context, like the handle it owns, is used by one thread at a time; separate
 * Contexts may run on separate threads at once (one Context per thread is the simple rule;
 * this_thread_context() gives each thread its own). Formula, Value and Decimal are plain values.
 * The aggregates' totals are process-wide: use one Records at a time, its runs one after the
 * other (on any Context).
 * The process-wide settings stay process-wide: FCLSETMODE, NumSetup and FCLINIT are called
 * before threads start and before formulas are compiled (a Formula holds numbers in the encoding
 * of its compile; a Decimal's bytes belong to the backend that made them). This layer adds one
 * process-wide counter, which makes each record's pass key differ from the one before it, and
 * on each thread one pointer-sized slot that marks the lookup of the compile or run in progress
 * on that thread.
 *
 * Ownership. A Context owns its handle and releases it when destroyed; handle() lends it to C
 * calls (the diagnostics helpers, FCLEXECUTE2) for as long as the Context lives. Everything else
 * is held by value; no object refers to a Context.
 */
#ifndef FCLIB_HPP
#define FCLIB_HPP

#if !(defined(_MSVC_LANG) && _MSVC_LANG >= 201703L) && __cplusplus < 201703L
#error "fclib.hpp needs C++17 or later (std::optional, std::string_view, std::variant): compile with -std=c++17 (MSVC: /std:c++17); C and older C++ use fclib.h"
#else

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "fclib.h"

namespace fcl {
// The inline namespace keeps these names (fcl::Context, ...) apart from any other definition
// of the same names in namespace fcl at link time; users write fcl::Context.
inline namespace cpp1 {

/* The five value types; the numbers are the library's type codes. */
enum class Type : std::uint8_t {
    String = FCL_T_STRING,
    Number = FCL_T_NUMBER,
    Logical = FCL_T_LOGICAL,
    Time = FCL_T_TIME,
    Date = FCL_T_DATE,
};

namespace detail {
// The length of a NUL-terminated text of at most size bytes.
inline std::size_t bounded_length(const char* text, std::size_t size) noexcept {
    const void* end = std::memchr(text, 0, size);
    return end ? static_cast<std::size_t>(static_cast<const char*>(end) - text) : size;
}

}  // namespace detail

/* A short meaning of a status code (FCL_OK, FCL_E_*); "unknown status" for any other number. */
inline const char* status_message(std::uint16_t status) noexcept {
    switch (status) {
        case FCL_OK: return "success";
        case FCL_E_SYNTAX: return "syntax error in the formula text";
        case FCL_E_UNKNOWN_NAME: return "unknown function or operator name";
        case FCL_E_TYPE: return "type error: an argument's type, count or content does not fit";
        case FCL_E_TOO_LONG: return "string result longer than 512 bytes";
        case FCL_E_CALLBACK: return "field failure: unknown field, or a value that does not fit its type";
        case FCL_E_STACK_FULL: return "stack full: the formula is nested too deeply or holds too many values";
        case FCL_E_CODE: return "code error: the compiled formula is too long or ill-formed";
        case FCL_E_NODE_POOL: return "the formula is too large for the compiler's node pool";
        case FCL_E_DIVIDE_BY_ZERO: return "division by zero";
        case FCL_E_BUSY: return "the context is busy: called back from its own field callback";
        default: return "unknown status";
    }
}

/*
 * Why a compile failed with FCL_E_TYPE, in words, from the bytes fcl_error_why gives (fclib.h):
 * e.g. "the branches of IF differ: a string and a number". token is the failing token as
 * written; function the call's name as written and fewest/most the argument counts its forms
 * take, when the caller knows them (the analysis API does; this layer passes none). Empty when
 * the bytes say nothing.
 */
inline std::string type_error_reason(const unsigned char* why, std::string_view token, std::string_view function = {},
                                     int fewest = -1, int most = -1) {
    const auto types = [](unsigned mask) {
        if (mask == FCL_T_ANY) return std::string("any value");
        static constexpr std::pair<unsigned, const char*> kWords[] = {{FCL_T_NUMBER, "a number"},
                                                                      {FCL_T_STRING, "a string"},
                                                                      {FCL_T_DATE, "a date"},
                                                                      {FCL_T_TIME, "a time"},
                                                                      {FCL_T_LOGICAL, "a logical"}};
        std::vector<const char*> words;
        for (const auto& [bit, word] : kWords)
            if (mask & bit) words.push_back(word);
        std::string out;
        for (std::size_t i = 0; i < words.size(); ++i)
            out += (i == 0 ? "" : i + 1 == words.size() ? " or " : ", ") + std::string(words[i]);
        return words.empty() ? std::string("nothing") : out;
    };
    static constexpr const char* kOrdinals[] = {"first", "second", "third", "fourth", "fifth", "sixth",
                                                "seventh", "eighth", "ninth", "tenth", "eleventh"};
    const unsigned argument = why[2], written = why[5] & 0x7Fu;
    const bool op = (why[5] & FCL_WHY_OPERATOR) != 0;
    const std::string name = function.empty() ? std::string("the call") : std::string(function);
    const std::string expected = types(why[3]), given = types(why[4]);
    const std::string where = op ? std::string("the ") + (argument < 11 ? kOrdinals[argument] : "next") +
                                       " operand of " + name
                                 : "argument " + std::to_string(argument + 1) + " of " + name;
    const auto plural = [](int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); };
    switch (why[0]) {
        case FCL_WHY_COUNT: {
            const std::string has = "; this call has ";
            if (name == "IF" || name == "SELECT") {
                const char* first = name == "IF" ? "a condition" : "an index";
                const int values = written > 0 ? static_cast<int>(written) - 1 : 0;
                if (fewest < 0) return name + " takes " + first + " and its values" + has + plural(values, "value");
                const std::string range = fewest == most ? std::to_string(fewest - 1)
                                                         : std::to_string(fewest - 1) + " to " + std::to_string(most - 1);
                return name + " takes " + first + " and " + range + " values" + has + std::to_string(values);
            }
            if (fewest < 0) return "no form of " + std::string(token) + " takes " + plural(static_cast<int>(written), "argument");
            if (fewest == most) return name + " takes " + plural(fewest, "argument") + has + std::to_string(written);
            return name + " takes " + std::to_string(fewest) + " to " + std::to_string(most) + " arguments" + has +
                   std::to_string(written);
        }
        case FCL_WHY_TYPE: return given + " where " + expected + " is expected: " + where;
        case FCL_WHY_LITERAL: return std::string(token) + " cannot be read as " + expected + ": " + where;
        case FCL_WHY_BRANCHES:
            if (name == "IF") return "the branches of IF differ: " + expected + " and " + given;
            return "the values " + (function.empty() ? std::string("to choose from") : "of " + name) + " differ: " +
                   expected + " and " + given + " (value " + std::to_string(argument) + ")";
        case FCL_WHY_OPERANDS: return "the operands of " + name + " differ: " + expected + " and " + given;
        case FCL_WHY_COMPARISON: return expected + " cannot be compared with " + given;
        case FCL_WHY_NO_ROOM: return "the formula is too complex: no room in the compiler's node pool for this call";
        default: return {};
    }
}

/*
 * A failure. status is the library's status code; message is status_message(status), followed
 * by a detail when this layer knows one (what a lookup threw, an oversized field value).
 * offset: for a failed compile, the byte offset in the formula text of the token where
 * compilation stopped (FCL_MAX_TEXT for a text that is too long); -1 when there is none.
 * token: for a failed compile the failing token as written (empty at the end of the text);
 * for a run that failed in the field lookup, the name of the field.
 * reason: for a failed compile, what in particular when this layer can tell: a type error's
 * kind and types (type_error_reason), an unknown function's name; else empty.
 * A run whose running aggregates found no free slot has the record's pass key as its status
 * and a message that says so.
 */
struct Error {
    std::uint16_t status = FCL_E_CODE;
    std::string message;
    int offset = -1;
    std::string token;
    std::string reason;  // for a failed compile, what in particular (type_error_reason); often empty
};

namespace detail {
inline Error make_error(std::uint16_t status, std::string detail = {}, int offset = -1,
                        std::string token = {}) {
    Error error{status, status_message(status), offset, std::move(token), {}};
    if (!detail.empty()) error.message += ": " + detail;
    return error;
}
}  // namespace detail

/*
 * Either a T or an Error. Test it (explicit bool, ok()) before reading value() or *; reading
 * the value of a failure, or the error of a success, is a programming error (asserted).
 */
template <class T>
class Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return state_.index() == 0; }
    explicit operator bool() const noexcept { return ok(); }

    const T& value() const& { assert(ok()); return *std::get_if<0>(&state_); }
    T& value() & { assert(ok()); return *std::get_if<0>(&state_); }
    T&& value() && { assert(ok()); return std::move(*std::get_if<0>(&state_)); }
    const T& operator*() const& { return value(); }
    T& operator*() & { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }
    T value_or(T fallback) const { return ok() ? value() : std::move(fallback); }

    const Error& error() const { assert(!ok()); return *std::get_if<1>(&state_); }

private:
    std::variant<T, Error> state_;
};

/*
 * One value of the formula language. Strings are code page 932 bytes; time is "hhmmss" and
 * date "yyyymmdd" text (not checked here: the library's functions judge them). A number holds
 * either a double or number text: a run in text-number mode gives the library's number payload
 * as text (e.g. "30000000e-8" for 0.3 under the decimal backend), which number_text() returns
 * exactly and number() converts to the nearest double. Accessors for another type than the
 * value's own give that type's blank value ("", 0, false).
 */
class Value {
public:
    /* The empty string, the library's blank value of a string formula. */
    Value() = default;

    static Value from_string(std::string text) { return Value(Type::String, std::move(text)); }
    static Value from_number(double number) { return Value(Type::Number, number); }
    /* A number given as text ("12.50", "-3", "150000000e-8"): read by the library's backend in
     * text-number mode (exactly, under the decimal backend), with atof in double mode. */
    static Value from_number_text(std::string text) { return Value(Type::Number, std::move(text)); }
    static Value from_logical(bool logical) { return Value(Type::Logical, logical); }
    static Value from_time(std::string hhmmss) { return Value(Type::Time, std::move(hhmmss)); }
    static Value from_date(std::string yyyymmdd) { return Value(Type::Date, std::move(yyyymmdd)); }

    /*
     * Reads one tagged value (a result buffer filled by FCLEXECUTE(2)) of at most size bytes,
     * numbers in the encoding of mode (FCLMODE() by default). Nothing when the bytes hold no
     * well-formed value (an unknown type byte, text without its NUL within size bytes).
     */
    static std::optional<Value> from_tagged(const unsigned char* bytes, std::size_t size,
                                            std::int32_t mode = FCLMODE()) {
        if (!bytes || size < 2) return std::nullopt;
        const auto text = [&](Type type) -> std::optional<Value> {
            const char* first = reinterpret_cast<const char*>(bytes + 1);
            const std::size_t length = detail::bounded_length(first, size - 1);
            if (length == size - 1) return std::nullopt;  // no NUL within the buffer
            return Value(type, std::string(first, length));
        };
        switch (bytes[0]) {
            case FCL_T_STRING: return text(Type::String);
            case FCL_T_TIME: return text(Type::Time);
            case FCL_T_DATE: return text(Type::Date);
            case FCL_T_LOGICAL: return from_logical(bytes[1] != 0);
            case FCL_T_NUMBER:
                if (mode != 0) return text(Type::Number);
                if (size < 1 + sizeof(double)) return std::nullopt;
                {
                    double number;
                    std::memcpy(&number, bytes + 1, sizeof number);
                    return from_number(number);
                }
            default: return std::nullopt;
        }
    }

    Type type() const noexcept { return type_; }

    /* The string's text; "" for other types. */
    const std::string& str() const noexcept { return text_of(Type::String); }
    /* The time's hhmmss text; "" for other types. */
    const std::string& time() const noexcept { return text_of(Type::Time); }
    /* The date's yyyymmdd text; "" for other types. */
    const std::string& date() const noexcept { return text_of(Type::Date); }
    bool logical() const noexcept { return type_ == Type::Logical && std::get<bool>(payload_); }

    /* The number as a double: number text is parsed (as far as it is a number; nearest double,
     * "inf"/"nan" as written by the double backend). 0 for other types. */
    double number() const noexcept {
        if (type_ != Type::Number) return 0.0;
        if (const double* number = std::get_if<double>(&payload_)) return *number;
        const std::string& text = std::get<std::string>(payload_);
        const char* first = text.data();
        if (*first == '+') ++first;
        double number = 0.0;
        std::from_chars(first, text.data() + text.size(), number);
        return number;
    }
    /* The number as text: the text payload itself when the number is text; for a double its
     * shortest text that reads back as the same double. "" for other types. */
    std::string number_text() const {
        if (type_ != Type::Number) return {};
        if (const std::string* text = std::get_if<std::string>(&payload_)) return *text;
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::get<double>(payload_)).ptr;
        return std::string(buffer, end);
    }
    /* True when the number is held as text (made from number text, or read in text-number mode). */
    bool number_is_text() const noexcept {
        return type_ == Type::Number && std::holds_alternative<std::string>(payload_);
    }

    /* Same type and same payload (a double and a number text never compare equal). */
    friend bool operator==(const Value& a, const Value& b) {
        return a.type_ == b.type_ && a.payload_ == b.payload_;
    }
    friend bool operator!=(const Value& a, const Value& b) { return !(a == b); }

private:
    template <class P>
    Value(Type type, P&& payload) : type_(type), payload_(std::forward<P>(payload)) {}

    const std::string& text_of(Type type) const noexcept {
        static const std::string empty;
        return type_ == type ? std::get<std::string>(payload_) : empty;
    }

    Type type_ = Type::String;
    std::variant<std::string, double, bool> payload_;
};

/*
 * A compiled formula, held by value: the block FCLCOMPILE2 wrote, at most FCL_MAX_CODE bytes.
 * It refers to no Context and runs in any, in the number-encoding mode of its compile.
 * A default Formula is the empty formula (a blank string).
 */
class Formula {
public:
    Formula() noexcept {
        static const unsigned char empty[FCL_EMPTY_CODE] = {1, 0, FCL_EMPTY_CODE, 0, 1, 0, 0};
        std::memcpy(code_.data(), empty, sizeof empty);
    }

    /* A stored block: refused (FCL_E_CODE) unless size is between FCL_EMPTY_CODE and
     * FCL_MAX_CODE and equals the length in the block's header. The items are not checked
     * here; the library checks them when the formula runs. */
    static Result<Formula> from_bytes(const unsigned char* bytes, std::size_t size) {
        if (!bytes || size < FCL_EMPTY_CODE || size > FCL_MAX_CODE || fcl_code_length(bytes) != size)
            return detail::make_error(FCL_E_CODE, "not a compiled formula of " + std::to_string(size) + " bytes");
        Formula formula;
        std::memcpy(formula.code_.data(), bytes, size);
        return formula;
    }

    const unsigned char* data() const noexcept { return code_.data(); }
    std::size_t size() const noexcept { return fcl_code_length(code_.data()); }
    /* A copy of the block, for storing; from_bytes loads it again. */
    std::vector<unsigned char> bytes() const { return {data(), data() + size()}; }
    /* The type of the formula's value (header byte 0). */
    Type result_type() const noexcept { return static_cast<Type>(code_[0]); }
    /* What the text contained: FCL_FLAG_* bits (header byte 1). */
    std::uint8_t flags() const noexcept { return code_[1]; }

private:
    friend class Context;
    std::array<unsigned char, FCL_MAX_CODE> code_{};
};

namespace detail {
// A pass key for the next record: 2..1000 in turn, never the key of the record before, and
// clear of FCL_OK and the status codes, so that a key returned as a status is recognisable.
inline std::uint16_t next_pass_key() noexcept {
    static std::atomic<std::uint32_t> records{0};
    return static_cast<std::uint16_t>(2 + records.fetch_add(1, std::memory_order_relaxed) % 999);
}
}  // namespace detail

/*
 * The record that runs belong to, for the running aggregates (see Aggregates above). next()
 * starts a record with a new pass key; ends_group says that the record is the last of its
 * group, so its runs report the totals and clear them. A default Records has started no
 * record: running with it fails until next() is called.
 */
class Records {
public:
    void next(bool ends_group = false) noexcept {
        pass_key_ = detail::next_pass_key();
        ends_group_ = ends_group;
    }
    bool started() const noexcept { return pass_key_ != 0; }
    /* The current record's pass key (0 before the first next()). */
    std::uint16_t pass_key() const noexcept { return pass_key_; }
    bool ends_group() const noexcept { return ends_group_; }

private:
    std::uint16_t pass_key_ = 0;
    bool ends_group_ = false;
};

namespace detail {

// The lookup of one compile or run, type-erased. The C callback's data points to it.
struct FieldLookup {
    void* callable;
    std::optional<Value> (*call)(void* callable, std::string_view name);
    const Records* records;     // the record of a run; null for a compile or a run without one
    std::string failed_field;   // the field whose lookup failed
    std::string detail;         // why, when known
    bool aggregate_failed = false;  // an aggregate's request could not be answered
};

// The lookup of the compile or run in progress on this thread. Aggregate requests arrive at
// the same callback with a data pointer of the library's own, which never equals it.
inline FieldLookup*& active_lookup() noexcept {
    thread_local FieldLookup* lookup = nullptr;
    return lookup;
}

class ActiveLookup {
public:
    explicit ActiveLookup(FieldLookup* lookup) noexcept : saved_(active_lookup()) { active_lookup() = lookup; }
    ~ActiveLookup() { active_lookup() = saved_; }
    ActiveLookup(const ActiveLookup&) = delete;
    ActiveLookup& operator=(const ActiveLookup&) = delete;

private:
    FieldLookup* saved_;
};

inline void note_failure(FieldLookup& lookup, const char* name, const char* detail) noexcept {
    try {
        lookup.failed_field = name ? name : "";
        lookup.detail = detail;
    } catch (...) {
    }
}

// Writes a value as a raw value into raw (FCL_RAW_BUFFER bytes). False when it does not fit.
inline bool write_raw(const Value& value, unsigned char* raw, std::uint16_t* type) {
    const auto code = static_cast<std::uint16_t>(value.type());
    const auto put_text = [&](const std::string& text, std::uint16_t type_word) {
        const std::size_t bytes = std::min(text.size(), std::strlen(text.c_str()));
        if (bytes + 1 > FCL_RAW_BUFFER) return false;
        std::memcpy(raw, text.data(), bytes);
        raw[bytes] = 0;
        *type = type_word;
        return true;
    };
    switch (value.type()) {
        case Type::Number:
            if (value.number_is_text()) return put_text(value.number_text(), code | (FCL_RAW_TEXT << 8));
            {
                const double number = value.number();
                std::memcpy(raw, &number, sizeof number);
                *type = static_cast<std::uint16_t>(code | (FCL_RAW_DOUBLE << 8));
                return true;
            }
        case Type::Logical: return put_text(value.logical() ? "1" : "0", code);
        case Type::String: return put_text(value.str(), code);
        case Type::Time: return put_text(value.time(), code);
        case Type::Date: return put_text(value.date(), code);
    }
    return false;
}

// The lookup's answer for name; nothing, with the failure noted, when it has none or throws.
inline std::optional<Value> look_up(FieldLookup& lookup, const char* name) noexcept {
    try {
        std::optional<Value> value = lookup.call(lookup.callable, name ? name : "");
        if (!value) note_failure(lookup, name, "unknown field");
        return value;
    } catch (const std::exception& thrown) {
        note_failure(lookup, name, thrown.what());
    } catch (...) {
        note_failure(lookup, name, "the field lookup threw");
    }
    return std::nullopt;
}

// Writes the lookup's value of name into raw; false, with the failure noted, when there is none
// or it does not fit.
inline bool supply(FieldLookup& lookup, const char* name, void* raw, std::uint16_t* type) noexcept {
    const std::optional<Value> value = look_up(lookup, name);
    if (!value) return false;
    if (write_raw(*value, static_cast<unsigned char*>(raw), type)) return true;
    note_failure(lookup, name, "field value longer than the library's raw buffer");
    return false;
}

// Request codes in the 32 bits at an aggregate request's data: the query of SUM, AVG, MIN and
// MAX, and a value request of a running aggregate. A P form's request holds its name ("SUM").
constexpr std::int32_t kAggregateQuery = 3;
constexpr std::int32_t kAggregateValue = 2;

// An aggregate's request (fclib.h, "Aggregates"). The first value request of a call still holds
// the reference kind in *type and gets the field's value; the next one gets the end mark. P
// forms take 0 as the answer to each. Running aggregates are told "running totals" at the query
// and take the record's pass key as the answer to each value request; the end mark clears the
// totals when the record ends its group. Without a record the refusal is noted, the query gets
// "no value" and COUNT's request (it sends no query) the key 1, which no record uses.
inline std::int32_t answer_aggregate(FieldLookup& lookup, const void* data, const char* name, void* raw,
                                     std::uint16_t* type) noexcept {
    std::int32_t request = 0;
    std::memcpy(&request, data, sizeof request);
    const bool first = *type == FCL_T_FIELD || *type == FCL_T_NAME;
    if (request != kAggregateQuery && request != kAggregateValue) {
        if (first && supply(lookup, name, raw, type)) return 0;
        lookup.aggregate_failed = lookup.aggregate_failed || first;
        *type = FCL_AGG_RESET;
        return 0;
    }
    const Records* records = lookup.records;
    if (!records) {
        note_failure(lookup, name,
                     "SUM, AVG, MIN, MAX and COUNT total across records: run them with an fcl::Records");
        lookup.aggregate_failed = true;
        if (request == kAggregateQuery) return 0;
        *type = FCL_AGG_CONTINUE;
        return 1;
    }
    if (request == kAggregateQuery) return FCL_AGG_RESET;
    if (first && supply(lookup, name, raw, type)) return records->pass_key();
    lookup.aggregate_failed = lookup.aggregate_failed || first;
    *type = records->ends_group() ? FCL_AGG_RESET : FCL_AGG_CONTINUE;
    return records->pass_key();
}

// The C callback of every compile and run of a Context.
inline std::int32_t field_proc(void* data, const char* name, void* raw, std::uint16_t* type) noexcept {
    FieldLookup* lookup = active_lookup();
    if (!lookup || !data) return 1;
    if (data != lookup) return answer_aggregate(*lookup, data, name, raw, type);
    if (raw) return supply(*lookup, name, raw, type) ? 0 : 1;
    const std::optional<Value> value = look_up(*lookup, name);
    if (!value) return 1;
    *type = static_cast<std::uint16_t>(value->type());
    return 0;
}

// F may be const-qualified; the lookup is called as the caller passed it.
template <class F>
FieldLookup make_lookup(F& fields) {
    static_assert(std::is_invocable_v<F&, std::string_view>,
                  "fields must be callable as fields(std::string_view name)");
    static_assert(std::is_convertible_v<std::invoke_result_t<F&, std::string_view>, std::optional<Value>>,
                  "fields(name) must return std::optional<fcl::Value> (std::nullopt: no such field)");
    return FieldLookup{const_cast<void*>(static_cast<const void*>(std::addressof(fields))),
                       [](void* callable, std::string_view name) -> std::optional<Value> {
                           return (*static_cast<F*>(callable))(name);
                       },
                       nullptr, {}, {}};
}

// A lookup that knows no field: formulas that name one fail with 1005.
struct NoFields {
    std::optional<Value> operator()(std::string_view) const { return std::nullopt; }
};

}  // namespace detail

/*
 * Owns one context handle (FCLCREATEHANDLE .. FCLRELEASEHANDLE). Move-only: a moved-from
 * Context is empty, as is one whose creation failed (memory exhausted); an empty Context's
 * compile and execute fail with FCL_E_CODE and do not call the library. One thread at a time
 * uses a Context; compile and execute may follow each other in any order.
 */
class Context {
public:
    Context() noexcept : handle_(FCLCREATEHANDLE()) {}
    ~Context() { FCLRELEASEHANDLE(handle_); }
    Context(Context&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    Context& operator=(Context&& other) noexcept {
        if (this != &other) {
            FCLRELEASEHANDLE(handle_);
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    bool empty() const noexcept { return handle_ == nullptr; }
    explicit operator bool() const noexcept { return !empty(); }
    /* The handle, lent for C calls while this Context lives; null when empty. */
    FCLHANDLE handle() const noexcept { return handle_; }

    /*
     * Compiles text (code page 932, at most FCL_MAX_TEXT bytes; a text holding a NUL byte is a
     * syntax error at that byte), asking fields for the type of every field and name. On
     * failure the Error carries the status and, from the context's diagnostics, the offset and
     * text of the token where compilation stopped.
     */
    template <class Fields>
    Result<Formula> compile(std::string_view text, Fields&& fields) {
        if constexpr (std::is_function_v<std::remove_reference_t<Fields>>) {
            auto* pointer = &fields;  // a plain function is looked up through a pointer object
            return compile_with(text, pointer);
        } else {
            return compile_with(text, fields);
        }
    }

    /* Compiles a formula that names no field (one that does fails with 1005). */
    Result<Formula> compile(std::string_view text) {
        const detail::NoFields none;
        return compile(text, none);
    }

    /*
     * Runs formula once, asking fields for the value of every field and name it reaches, and
     * reads the result in the current number-encoding mode. On failure (the library then wrote
     * the blank value, which is dropped) the Error carries the status; when the field lookup
     * failed, token names the field and message says why.
     */
    template <class Fields>
    Result<Value> execute(const Formula& formula, Fields&& fields) {
        if constexpr (std::is_function_v<std::remove_reference_t<Fields>>) {
            auto* pointer = &fields;  // a plain function is looked up through a pointer object
            return execute_with(formula, pointer);
        } else {
            return execute_with(formula, fields);
        }
    }

    /* Runs a formula that needs no field. */
    Result<Value> execute(const Formula& formula) {
        const detail::NoFields none;
        return execute(formula, none);
    }

    /*
     * Runs formula as one run of the current record of records, whose running aggregates
     * total across the records (see Aggregates above); fields also gives the values they fold
     * in. Fails with FCL_E_CALLBACK before running when records has started no record.
     */
    template <class Fields>
    Result<Value> execute(const Formula& formula, Fields&& fields, const Records& records) {
        if (!records.started())
            return detail::make_error(FCL_E_CALLBACK, "no record started: call Records::next() first");
        if constexpr (std::is_function_v<std::remove_reference_t<Fields>>) {
            auto* pointer = &fields;
            return execute_with(formula, pointer, &records);
        } else {
            return execute_with(formula, fields, &records);
        }
    }

private:
    template <class F>
    Result<Formula> compile_with(std::string_view text, F& fields) {
        if (!handle_) return detail::make_error(FCL_E_CODE, "empty context");
        if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos)
            return detail::make_error(FCL_E_SYNTAX, "NUL byte in the formula text", static_cast<int>(nul));
        const std::string copy(text);
        detail::FieldLookup lookup = detail::make_lookup(fields);
        Formula formula;
        std::uint16_t status;
        {
            const detail::ActiveLookup active(&lookup);
            status = FCLCOMPILE2(detail::field_proc, &lookup, copy.c_str(), formula.code_.data(), nullptr,
                                 handle_);
        }
        if (status == FCL_OK) return formula;
        int offset = -1;
        std::string token;
        if (text.size() > FCL_MAX_TEXT) {
            offset = FCL_MAX_TEXT;
        } else if (status != FCL_E_BUSY) {  // a refused compile leaves the running one's state
            offset = fcl_error_offset(handle_, copy.c_str());
            if (offset < 0 || static_cast<std::size_t>(offset) > text.size()) offset = -1;
            const char* failing = fcl_error_token(handle_);
            token.assign(failing, detail::bounded_length(failing, FCL_MAX_CODE));
        }
        std::string reason;
        if (status == FCL_E_TYPE && offset >= 0) reason = type_error_reason(fcl_error_why(handle_), token);
        if (status == FCL_E_UNKNOWN_NAME && offset >= 0) reason = "no function is named " + token;
        Error error = detail::make_error(status, status == FCL_E_CALLBACK ? lookup.detail : std::string(), offset,
                                         std::move(token));
        error.reason = std::move(reason);
        return error;
    }

    template <class F>
    Result<Value> execute_with(const Formula& formula, F& fields, const Records* records = nullptr) {
        if (!handle_) return detail::make_error(FCL_E_CODE, "empty context");
        detail::FieldLookup lookup = detail::make_lookup(fields);
        lookup.records = records;
        unsigned char result[FCL_MAX_VALUE];
        result[0] = 0;
        std::uint16_t status;
        {
            const detail::ActiveLookup active(&lookup);
            status = FCLEXECUTE2(detail::field_proc, &lookup, formula.data(), result, handle_);
        }
        if (status == FCL_E_CALLBACK || lookup.aggregate_failed)
            return detail::make_error(FCL_E_CALLBACK, lookup.detail, -1, std::move(lookup.failed_field));
        if (records && status == records->pass_key())
            return Error{status,
                         "no free aggregate slot: more running aggregates in a record than the work areas "
                         "hold (FCLINIT sizes them; before it there are none)",
                         -1, {}, {}};
        if (status != FCL_OK) return detail::make_error(status);
        std::optional<Value> value = Value::from_tagged(result, sizeof result);
        if (!value) return detail::make_error(FCL_E_CODE, "the result is no tagged value");
        return std::move(*value);
    }

    FCLHANDLE handle_;
};

/* This thread's own Context, made on first use and released when the thread ends. */
inline Context& this_thread_context() {
    thread_local Context context;
    return context;
}

/*
 * A number of the current numeric backend (NumSetup; the exact 28-byte decimal by default),
 * computed with the Num functions: exact decimal arithmetic under the decimal backend, IEEE
 * double under the double backend. Holds FCL_NUM_MAX_SIZE bytes; a Decimal made under one
 * backend means nothing under the other. Division by zero follows the backend (the decimal
 * backend gives 0, the double backend infinity); nothing is reported.
 */
class Decimal {
public:
    Decimal() noexcept { NumZero(bytes_); }
    explicit Decimal(std::int32_t value) noexcept { NumFromInt(bytes_, value); }
    /* The backend's reading of text: plain decimal ("-12.5") or either backend's number text
     * ("150000000e-8", "1.500000000000000e+00"); read as far as it is a number. */
    explicit Decimal(std::string_view text) {
        const std::string copy(text);
        NumFromStr(bytes_, copy.c_str());
    }
    explicit Decimal(const char* text) noexcept { NumFromStr(bytes_, text); }
    explicit Decimal(double value) noexcept { NumFromDbl(bytes_, value); }

    /*
     * NumToStr: style FCL_NUM_PLAIN with digits -1 (the default) gives plain decimal without
     * trailing zeros ("0.3"); style 0 with n digits exactly n decimals, truncated ("1.50");
     * FCL_NUM_FULL with -1 the library's own number text; FCL_NUM_SCIENTIFIC the backend's
     * scientific form.
     */
    std::string to_string(std::int32_t style = FCL_NUM_PLAIN, std::int32_t digits = -1) const {
        char text[FCL_NUM_TEXT_MAX];
        text[0] = 0;
        NumToStr(bytes_, text, style, digits);
        return std::string(text, detail::bounded_length(text, sizeof text));
    }

    bool is_zero() const noexcept { return NumIsZero(bytes_) != 0; }
    /* Truncated toward zero. */
    Decimal truncated() const noexcept { Decimal r = *this; NumInt(r.bytes_); return r; }
    /* The backend's bytes (NumSize() of them), for the Num functions. */
    const void* data() const noexcept { return bytes_; }
    void* data() noexcept { return bytes_; }

    Decimal& operator+=(const Decimal& b) noexcept { NumAdd(bytes_, b.bytes_); return *this; }
    Decimal& operator-=(const Decimal& b) noexcept { NumSub(bytes_, b.bytes_); return *this; }
    Decimal& operator*=(const Decimal& b) noexcept { NumMul(bytes_, b.bytes_); return *this; }
    Decimal& operator/=(const Decimal& b) noexcept { NumDiv(bytes_, b.bytes_); return *this; }
    Decimal operator-() const noexcept { Decimal r = *this; NumNeg(r.bytes_); return r; }
    friend Decimal operator+(Decimal a, const Decimal& b) noexcept { return a += b; }
    friend Decimal operator-(Decimal a, const Decimal& b) noexcept { return a -= b; }
    friend Decimal operator*(Decimal a, const Decimal& b) noexcept { return a *= b; }
    friend Decimal operator/(Decimal a, const Decimal& b) noexcept { return a /= b; }

    /* -1, 0 or 1 (NumComp). */
    friend int compare(const Decimal& a, const Decimal& b) noexcept { return NumComp(a.bytes_, b.bytes_); }
    friend bool operator==(const Decimal& a, const Decimal& b) noexcept { return compare(a, b) == 0; }
    friend bool operator!=(const Decimal& a, const Decimal& b) noexcept { return compare(a, b) != 0; }
    friend bool operator<(const Decimal& a, const Decimal& b) noexcept { return compare(a, b) < 0; }
    friend bool operator<=(const Decimal& a, const Decimal& b) noexcept { return compare(a, b) <= 0; }
    friend bool operator>(const Decimal& a, const Decimal& b) noexcept { return compare(a, b) > 0; }
    friend bool operator>=(const Decimal& a, const Decimal& b) noexcept { return compare(a, b) >= 0; }

private:
    alignas(8) unsigned char bytes_[FCL_NUM_MAX_SIZE] = {};
};

}  // namespace cpp1
}  // namespace fcl

#endif /* C++17 */
#endif /* FCLIB_HPP */
