#include "compiler/parser.h"

#include "compiler/decision_table.h"
#include "compiler/lexer.h"
#include "compiler/node_pool.h"
#include "compiler/typing.h"
#include "interface/code_format.h"

namespace fcl {

namespace {

constexpr std::uint16_t kStackTop = kStackSlots - 1;  // entries 1 to 127 of either stack

class Parser {
public:
    explicit Parser(Context& ctx) : ctx_(ctx) {}

    Status run() {
        ctx_.lex_pos = ctx_.text;
        ctx_.prev_class = kClsBottom;
        ctx_.parse_depth = 0;
        ctx_.subtree_depth = 0;
        ParseNode* bottom = new_node(ctx_, kTokBottom, "", 0, 0);
        if (!bottom) return kNodePoolFull;
        ctx_.parse_stack[++ctx_.parse_depth] = bottom;
        for (;;) {
            ParseNode* token = nullptr;
            if (const Status status = next_token(ctx_, token)) return status;
            if (!token) continue;  // prefix signs that cancelled out
            bool accepted = false;
            if (const Status status = take(token, accepted)) {
                mark_stop(ctx_, blamed(token, status)->offset);
                return status;
            }
            if (accepted) return kOk;
        }
    }

private:
    ParseNode* top() const { return ctx_.parse_stack[ctx_.parse_depth]; }

    // The token a failure is reported at: the node a typing step named; for a missing operand
    // the first binary operator that came where an operand was due (1 + * 2 blames the *);
    // otherwise the incoming token.
    const ParseNode* blamed(const ParseNode* token, Status status) const {
        if (culprit_) return culprit_;
        if (status == kSyntaxError && stray_operator_) return stray_operator_;
        return token;
    }

    Status push(ParseNode* node) {
        if (ctx_.parse_depth >= kStackTop) return kStackFull;
        ctx_.parse_stack[++ctx_.parse_depth] = node;
        return kOk;
    }

    Status take(ParseNode* token, bool& accepted) {
        const std::uint8_t cls = token->prec;
        const bool binary = cls >= kClsOr && cls <= kClsMultiplicative;
        if (binary && !stray_operator_ && ctx_.prev_class != kClsOperand && ctx_.prev_class != kClsClose)
            stray_operator_ = token;
        // The first token inside a call's parentheses marks its first argument.
        if (level_ > 0 && counters_[level_] == 0 && cls != kClsOpen && cls != kClsClose) counters_[level_] = 1;
        Action action = decide(top()->prec, cls, level_, ctx_.prev_class);
        Status reduced = kOk;
        while (action == Action::Reduce) {
            reduced = reduce();
            if (reduced != kOk) break;
            action = decide(top()->prec, cls, level_, ctx_.prev_class);
        }
        ctx_.prev_class = cls;
        if (reduced != kOk) return reduced;
        switch (action) {
            case Action::Shift: return shift(token);
            case Action::Match:
                if (cls != kClsComma) return close_parenthesis();
                ++counters_[level_];  // the comma itself is dropped
                return kOk;
            case Action::Accept:
                accepted = true;
                return ctx_.subtree_depth == 1 ? kOk : kSyntaxError;
            default:
                // Every error entry is reported, also those away from the end of the text
                // (a comma outside a call, an operand after an operand, a stray ')'):
                // passing the token over would compile `1 2` as 1.
                return kSyntaxError;
        }
    }

    Status shift(ParseNode* token) {
        if (ctx_.parse_depth >= kStackTop) return kStackFull;
        if (token->prec == kClsFunction) {
            // The argument counters cover 15 levels of calls; a deeper call is refused.
            if (level_ >= kMaxCallDepth) return kStackFull;
            counters_[++level_] = 0;
        }
        return push(token);
    }

    // A ')' met with '(' on top: the parenthesis goes; a call below it is finished.
    Status close_parenthesis() {
        --ctx_.parse_depth;
        if (top()->prec == kClsFunction) {
            if (select_overload(ctx_, ctx_.parse_stack[ctx_.parse_depth], counters_[level_]) != kOk) {
                culprit_ = ctx_.parse_stack[ctx_.parse_depth];
                return kTypeError;
            }
            if (const Status status = reduce()) return status;
            // A call inside another call's arguments stands on the parse stack as an operand.
            if (level_ != 1) {
                ParseNode* placeholder = new_node(ctx_, kTokPlaceholder, "", 0, 0);
                if (!placeholder) return kNodePoolFull;
                if (const Status status = push(placeholder)) return status;
            }
            --level_;
        }
        if (top()->prec == kClsPrefix) return reduce();
        return kOk;
    }

    // Pops the top of the parse stack and pushes it, with its arguments taken from the
    // subtree stack and typed, on the subtree stack.
    Status reduce() {
        ParseNode* node = ctx_.parse_stack[ctx_.parse_depth--];
        if (node->argc == 0) {
            if (node->kind == kTokPlaceholder) return kOk;
            if (ctx_.subtree_depth >= kStackTop) return kStackFull;
            ctx_.subtree_stack[++ctx_.subtree_depth] = node;
            return kOk;
        }
        for (unsigned i = node->argc; i-- > 0;) {
            if (ctx_.subtree_depth == 0) return kSyntaxError;
            ParseNode* argument = ctx_.subtree_stack[ctx_.subtree_depth];
            const std::uint8_t allowed = node->arg_mask(i);
            // Only functions written by name coerce literals; operator symbols never do.
            if ((argument->mask & allowed) == 0 &&
                (node->prec != kClsFunction || coerce_literal(*argument, allowed) != kOk)) {
                culprit_ = argument;
                const bool literal_text = argument->kind == kTokString && node->prec == kClsFunction &&
                                          (allowed & (kDate | kTime | kLogical)) != 0;
                ctx_.why = {literal_text ? WhyCode::LiteralContent : WhyCode::ArgumentType, node->record,
                            static_cast<std::uint8_t>(i), allowed, argument->mask,
                            CompileWhy::counted(node->argc, node->prec != kClsFunction)};
                return kTypeError;
            }
            node->set_child(i, argument);
            --ctx_.subtree_depth;
        }
        if (node->typing() != Typing::Fixed) {
            ParseNode* culprit = nullptr;
            if (const Status status = type_by_kind(*node, culprit, ctx_.why)) {
                culprit_ = culprit;
                return status;
            }
        }
        ctx_.subtree_stack[++ctx_.subtree_depth] = node;  // room: the arguments were popped
        if (node->prec == kClsCompare && node->child(0)->kind != kTokName) ctx_.flags |= kFlagLeftNotName;
        return kOk;
    }

    Context& ctx_;
    std::uint8_t level_ = 0;                         // call nesting level, 0 outside calls
    std::uint16_t counters_[kMaxCallDepth + 1] = {};  // arguments written, per level 1 to 15
    const ParseNode* culprit_ = nullptr;              // the node a failed typing step names
    const ParseNode* stray_operator_ = nullptr;       // first binary operator where an operand was due
};

}  // namespace

Status parse(Context& ctx) { return Parser(ctx).run(); }

}  // namespace fcl
