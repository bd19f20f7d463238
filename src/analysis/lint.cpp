// The linter: formulas that compile but do not do what they seem to, each found on the parse
// tree (analysis.h) and, where the question is what the library makes of a constant, answered
// by the library itself.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "analysis/analysis.h"

namespace fcl::analysis {

namespace {

bool is_lead(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

class Linter {
public:
    Linter(const Analysis& analysis, bool double_numbers, LintResult& out)
        : a_(analysis), tree_(analysis.tree), double_numbers_(double_numbers), out_(out) {
        for (std::uint16_t i = 0; i < tree_.count; ++i) parent_[i] = kNone;
        for (std::uint16_t i = 0; i < tree_.count; ++i)
            for (unsigned k = 0; k < tree_.nodes[i].argc; ++k) parent_[tree_.args[tree_.nodes[i].first + k]] = i;
    }

    void run() {
        for (std::uint16_t i = 0; i < tree_.count; ++i) {
            const Node& node = tree_.nodes[i];
            if (is(node, "IF") || is(node, "SELECT")) choice(i);
            if (is(node, "STR") && node.argc == 1 && double_numbers_) str_default_digits(i);
            if (is(node, "ROUND") && node.argc == 2) round_digits(node);
            if ((is(node, "EQ") || is(node, "NE")) && double_numbers_) float_equality(i);
            if (node.kind == TokenKind::Number && double_numbers_) literal_precision(node);
            if (is(node, "SELECT")) select_index(node);
            if (is(node, "FORMAT") && node.argc == 2) picture(node);
        }
    }

private:
    static constexpr std::uint16_t kNone = 0xFFFF;

    std::string_view text(Span span) const { return std::string_view(a_.text + span.begin, span.end - span.begin); }

    // The text without its blanks, for comparing expressions as written.
    std::string squeezed(Span span) const {
        std::string out;
        for (char c : text(span))
            if (c != ' ') out += c;
        return out;
    }

    static const char* name_of(const Node& node) {
        const FunctionInfo* info = function_info(node.record);
        return info ? info->name : "";
    }
    static bool is(const Node& node, const char* name) { return node.record && std::strcmp(name_of(node), name) == 0; }

    Warning* add(const char* code, Span span) {
        if (out_.count == kMostWarnings) return nullptr;
        Warning& w = out_.warnings[out_.count++];
        w = {};
        w.code = code;
        w.span = span;
        return &w;
    }

    void fix(Warning& w, Span span, const std::string& replacement) {
        w.has_fix = true;
        w.fix.span = span;
        std::snprintf(w.fix.text, sizeof w.fix.text, "%s", replacement.c_str());
    }

    // Calls f(index) for the node and every node below it.
    template <class F>
    void each_below(std::uint16_t index, F f) const {
        f(index);
        const Node& node = tree_.nodes[index];
        for (unsigned k = 0; k < node.argc; ++k) each_below(tree_.args[node.first + k], f);
    }

    // IF and SELECT run every argument: a guarded division still runs, and PAGE or an
    // aggregate in a branch acts whichever branch is chosen.
    void choice(std::uint16_t index) {
        const Node& node = tree_.nodes[index];
        const bool if_call = is(node, "IF");
        for (unsigned k = 1; k < node.argc; ++k) {
            each_below(tree_.args[node.first + k], [&](std::uint16_t below) {
                const Node& n = tree_.nodes[below];
                if (if_call && (is(n, "DIV") || is(n, "MOD")) && n.argc == 2) guarded_division(node, k, n);
                const FunctionInfo* info = function_info(n.record);
                if (n.record && (is(n, "PAGE") || (info && info->aggregate != Aggregation::None))) {
                    if (Warning* w = add("branch-side-effect", n.span))
                        std::snprintf(w->message, sizeof w->message,
                                      "%s runs every argument: %s %s whichever %s is chosen", name_of(node),
                                      name_of(n), is(n, "PAGE") ? "advances the page" : "takes in this record",
                                      if_call ? "branch" : "value");
                }
            });
        }
    }

    void guarded_division(const Node& call, unsigned branch, const Node& division) {
        const Node& divisor = tree_.arg(division, 1);
        const Node& condition = tree_.arg(call, 0);
        const std::string guard = squeezed(condition.span);
        if (guard.find(squeezed(divisor.span)) == std::string::npos) return;
        Warning* w = add("guarded-division", division.span);
        if (!w) return;
        std::snprintf(w->message, sizeof w->message,
                      "IF runs both branches: this %s runs even when the condition says not to, and %s when its "
                      "divisor is 0; keep the divisor from being 0 instead",
                      is(division, "DIV") ? "division" : "remainder",
                      is(division, "DIV") ? "fails" : "gives no remainder");
        // The divisor becomes 1 where the condition sends the formula to the other branch.
        const std::string c(text(condition.span)), d(text(divisor.span));
        fix(*w, divisor.span, branch == 2 ? "IF(" + c + ", 1, " + d + ")" : "IF(" + c + ", " + d + ", 1)");
    }

    void str_default_digits(std::uint16_t index) {
        const Node& node = tree_.nodes[index];
        const std::uint16_t parent = parent_[index];
        if (tree_.arg(node, 0).type != FCL_T_NUMBER || parent == kNone) return;
        const Node& joined = tree_.nodes[parent];
        if (!is(joined, "ADD") || joined.type != FCL_T_STRING) return;
        Warning* w = add("str-default-digits", node.span);
        if (!w) return;
        std::snprintf(w->message, sizeof w->message,
                      "STR of a number without digits gives six decimals (STR(42) is 42.000000); STR(x, 0) gives "
                      "the number as it is");
        const std::string argument(text(tree_.arg(node, 0).span));
        fix(*w, node.span, "STR(" + argument + ", 0)");
    }

    double literal_value(const Node& node) const { return std::strtod(std::string(text(node.token)).c_str(), nullptr); }

    void round_digits(const Node& node) {
        const Node& digits = tree_.arg(node, 1);
        if (digits.kind != TokenKind::Number) return;
        const double n = literal_value(digits);
        if (n <= 0) return;
        Warning* w = add("round-positive-digits", digits.span);
        if (!w) return;
        const std::string d(text(digits.span));
        std::snprintf(w->message, sizeof w->message,
                      "ROUND(x, %s) rounds to a multiple of 10 to the %s; for %s decimal places write ROUND(x, -%s)",
                      d.c_str(), d.c_str(), d.c_str(), d.c_str());
        fix(*w, digits.span, "-" + d);
    }

    static bool computed(const Node& node) { return node.kind == TokenKind::Operator || node.kind == TokenKind::Function; }

    // Whether the numbers below index can have a binary fraction: a literal with a fraction or
    // a division.
    bool fractional(std::uint16_t index) const {
        bool found = false;
        each_below(index, [&](std::uint16_t below) {
            const Node& n = tree_.nodes[below];
            if (is(n, "DIV") || (n.kind == TokenKind::Number && text(n.token).find('.') != std::string_view::npos))
                found = true;
        });
        return found;
    }

    void float_equality(std::uint16_t index) {
        const Node& node = tree_.nodes[index];
        const Node& left = tree_.arg(node, 0);
        const Node& right = tree_.arg(node, 1);
        if (left.type != FCL_T_NUMBER || right.type != FCL_T_NUMBER || !(computed(left) || computed(right))) return;
        // Rounded first, as the advice says, the comparison is sound.
        if (!fractional(index) || is(left, "ROUND") || is(right, "ROUND")) return;
        if (Warning* w = add("float-equality", node.span))
            std::snprintf(w->message, sizeof w->message,
                          "in double-number mode computed numbers are binary fractions (0.1 + 0.2 = 0.3 is false): "
                          "compare ROUND(a - b, -6) = 0, or run in text-number mode");
    }

    void literal_precision(const Node& node) {
        std::size_t digits = 0;
        bool leading = true;
        for (char c : text(node.token)) {
            if (c == 'e' || c == 'E') break;
            if (!std::isdigit(static_cast<unsigned char>(c))) continue;
            if (c == '0' && leading) continue;
            leading = false;
            ++digits;
        }
        if (digits <= 15) return;
        if (Warning* w = add("literal-precision", node.span)) {
            const std::string literal(text(node.token));
            std::snprintf(w->message, sizeof w->message,
                          "%zu significant digits: a double keeps about 15, so %s reads as %.17g; text-number mode "
                          "keeps them",
                          digits, literal.c_str(), literal_value(node));
        }
    }

    void select_index(const Node& node) {
        const Node& index = tree_.arg(node, 0);
        if (index.kind != TokenKind::Number) return;
        // The index counts by its whole part: 2.9 chooses the second value.
        const double k = literal_value(index);
        const unsigned values = node.argc - 1u;
        if (k >= 1 && k < values + 1.0) return;
        if (Warning* w = add("select-index-range", index.span))
            std::snprintf(w->message, sizeof w->message,
                          "SELECT has %u values: the index %s chooses none, and the formula fails when it runs",
                          values, std::string(text(index.token)).c_str());
    }

    // The value of a constant formula, as text, run by the library; false when it fails.
    static bool evaluate(const std::string& formula, std::string& out) {
        FCLHANDLE handle = FCLCREATEHANDLE();
        if (!handle) return false;
        unsigned char code[FCL_MAX_CODE], result[FCL_MAX_VALUE];
        bool ok = FCLCOMPILE2(nullptr, nullptr, formula.c_str(), code, nullptr, handle) == FCL_OK &&
                  FCLEXECUTE2(nullptr, nullptr, code, result, handle) == FCL_OK && result[0] == FCL_T_STRING;
        if (ok) out = reinterpret_cast<const char*>(result + 1);
        FCLRELEASEHANDLE(handle);
        return ok;
    }

    void picture(const Node& node) {
        const Node& value = tree_.arg(node, 0);
        const Node& pic = tree_.arg(node, 1);
        if (pic.kind != TokenKind::String) return;
        const std::string_view written = text(pic.token);
        // In a string literal a backslash takes the next byte as it is and is itself dropped:
        // "\ZZ9" is the picture ZZ9.
        for (std::size_t i = 1; i + 2 < written.size(); ++i) {
            if (is_lead(written[i])) {
                ++i;  // a trail byte may be a backslash
                continue;
            }
            if (written[i] != '\\') continue;
            if (written[i + 1] == '\\') {
                ++i;
                continue;
            }
            if (Warning* w = add("picture-backslash", pic.span)) {
                std::snprintf(w->message, sizeof w->message,
                              "in a string a backslash escapes the next character, so \\%c is %c and the backslash "
                              "(the yen sign in code page 932) is lost; write \\\\ for it",
                              written[i + 1], written[i + 1]);
                std::string fixed(written);
                fixed.insert(i, "\\");
                fix(*w, pic.token, fixed);
            }
            break;
        }
        const bool constant = value.kind == TokenKind::Number ||
                              (is(value, "NEG") && tree_.arg(value, 0).kind == TokenKind::Number);
        if (!constant || written.find('*') != std::string_view::npos) return;
        std::string shown;
        if (!evaluate(std::string(text(node.span)), shown) || shown.find('*') == std::string::npos) return;
        if (Warning* w = add("format-too-narrow", node.span))
            std::snprintf(w->message, sizeof w->message,
                          "the picture has too few digit places for %s: FORMAT gives %s", std::string(text(value.span)).c_str(),
                          shown.c_str());
    }

    const Analysis& a_;
    const Tree& tree_;
    bool double_numbers_;
    LintResult& out_;
    std::uint16_t parent_[kMostNodes];
};

}  // namespace

void lint(const Analysis& analysis, bool double_numbers, LintResult& out) {
    out.count = 0;
    if (analysis.diagnostic.status != FCL_OK || analysis.tree.count == 0) return;
    Linter(analysis, double_numbers, out).run();
}

}  // namespace fcl::analysis
