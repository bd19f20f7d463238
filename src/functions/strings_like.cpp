// LIKE: a text against a pattern with the wildcards "*" (any run) and "?" (one character) and
// the escape "\". The pattern's wildcards are filled in from the text to build a candidate
// text, and the match holds when the candidate equals the text.
#include <cstring>

#include "functions/handler_support.h"
#include "functions/handlers.h"
#include "platform/cp932.h"

namespace fcl::handlers {

namespace {

enum class SegmentKind : std::uint8_t { Literal, Question, Star };

struct Segment {
    SegmentKind kind;
    std::uint16_t count;   // wildcards: the "?" of the run, plus 1 when it holds a "*"
    std::uint16_t offset;  // literal: its bytes in the segment text area
    std::uint16_t length;
};

// Each pattern byte opens at most one segment and adds at most one byte of segment text; the
// candidate takes every character of the text at most once and at most one byte for every
// other pattern byte. Sized so for the longest texts a value can hold, the areas never fill.
// Each call keeps its own on the stack (about 4.6 KB), so concurrent runs never share one.
struct LikeWork {
    Segment segments[kMaxArgumentText];
    char segment_text[kMaxArgumentText];
    char candidate[2 * kMaxArgumentText + 1];
};

struct Text {
    const char* bytes;
    std::size_t length;

    // A lead byte and the byte after it form one character, except at the end of the text.
    std::size_t width(std::size_t i) const {
        return (cp932::is_lead(static_cast<std::uint8_t>(bytes[i])) && i + 1 < length) ? 2 : 1;
    }
    std::size_t characters() const {
        std::size_t count = 0;
        for (std::size_t i = 0; i < length; i += width(i)) ++count;
        return count;
    }
};

// Splits the pattern into literal and wildcard segments; returns the number of segments.
std::size_t parse_pattern(const Text& pattern, LikeWork& work) {
    std::size_t segments = 0;
    std::size_t text_used = 0;
    for (std::size_t i = 0; i < pattern.length;) {
        const char c = pattern.bytes[i];
        const bool single = pattern.width(i) == 1;
        Segment* last = segments ? &work.segments[segments - 1] : nullptr;
        if (single && (c == '*' || c == '?')) {
            if (!last || last->kind == SegmentKind::Literal) {
                last = &work.segments[segments++];
                *last = Segment{SegmentKind::Question, 0, 0, 0};
            }
            if (c == '?') ++last->count;
            if (c == '*' && last->kind == SegmentKind::Question) {
                last->kind = SegmentKind::Star;
                ++last->count;
            }
            ++i;
            continue;
        }
        std::size_t start = i;
        if (single && c == '\\') {
            if (i + 1 == pattern.length) break;  // a backslash at the end escapes nothing
            start = i + 1;
        }
        const std::size_t width = pattern.width(start);
        if (!last || last->kind != SegmentKind::Literal) {
            last = &work.segments[segments++];
            *last = Segment{SegmentKind::Literal, 0, static_cast<std::uint16_t>(text_used), 0};
        }
        std::memcpy(work.segment_text + text_used, pattern.bytes + start, width);
        text_used += width;
        last->length = static_cast<std::uint16_t>(last->length + width);
        i = start + width;
    }
    return segments;
}

class Candidate {
public:
    explicit Candidate(char (&area)[2 * kMaxArgumentText + 1]) : area_(area) {}
    void append(const char* bytes, std::size_t count) {
        const std::size_t room = sizeof area_ - 1 - length_;
        if (count > room) count = room;
        std::memcpy(area_ + length_, bytes, count);
        length_ += count;
    }
    const char* finish() {
        area_[length_] = '\0';
        return area_;
    }

private:
    char (&area_)[2 * kMaxArgumentText + 1];
    std::size_t length_ = 0;
};

// The text being matched and the read position in it.
struct Reader {
    Text text;
    std::size_t pos;

    // Copies the next count characters into the candidate; past the end a "?" stands for each.
    void copy_characters(std::size_t count, Candidate& candidate) {
        for (std::size_t k = 0; k < count; ++k) {
            if (pos >= text.length) {
                candidate.append("?", 1);
                continue;
            }
            const std::size_t width = text.width(pos);
            candidate.append(text.bytes + pos, width);
            pos += width;
        }
    }
    void skip_characters(std::size_t count) {
        for (std::size_t k = 0; k < count && pos < text.length; ++k) pos += text.width(pos);
    }
    bool matches_at(std::size_t start, const Text& literal) const {
        std::size_t i = start;
        for (std::size_t j = 0; j < literal.length;) {
            if (i >= text.length) return false;
            const std::size_t width = text.width(i);
            if (width != literal.width(j) || std::memcmp(text.bytes + i, literal.bytes + j, width) != 0) return false;
            i += width;
            j += width;
        }
        return true;
    }
    // Offset of the first occurrence of the literal at or after the read position, trying
    // one whole character after another; the text's length when there is none.
    std::size_t find(const Text& literal) const {
        for (std::size_t start = pos; start < text.length; start += text.width(start))
            if (matches_at(start, literal)) return start;
        return text.length;
    }
};

const char* build_candidate(const Text& text, std::size_t segments, LikeWork& work) {
    Candidate candidate(work.candidate);
    Reader reader{text, 0};
    bool star_pending = false;
    std::size_t star_questions = 0;
    for (std::size_t k = 0; k < segments; ++k) {
        const Segment& segment = work.segments[k];
        if (segment.kind == SegmentKind::Question) {
            reader.copy_characters(segment.count, candidate);
        } else if (segment.kind == SegmentKind::Star) {
            star_pending = true;
            star_questions = segment.count - 1u;
        } else {
            const Text literal{work.segment_text + segment.offset, segment.length};
            if (star_pending) {
                // The star takes the shortest stretch that reaches the literal; no backtracking.
                reader.copy_characters(star_questions, candidate);
                star_pending = false;
                const std::size_t found = reader.find(literal);
                candidate.append(text.bytes + reader.pos, found - reader.pos);
                reader.pos = found;
            }
            candidate.append(literal.bytes, literal.length);
            reader.skip_characters(literal.characters());
        }
    }
    if (star_pending) {
        reader.copy_characters(star_questions, candidate);
        candidate.append(text.bytes + reader.pos, text.length - reader.pos);
    }
    return candidate.finish();
}

}  // namespace

Status like(const std::uint8_t* const* args, std::uint8_t* result, Context&, int) {
    const Text text{payload_text(args[0]), text_length(args[0])};
    const Text pattern{payload_text(args[1]), text_length(args[1])};
    LikeWork work;
    const char* candidate = build_candidate(text, parse_pattern(pattern, work), work);
    result[0] = kLogical;
    result[1] = cp932::compare(text.bytes, candidate) == 0 ? 1 : 0;
    return kOk;
}

}  // namespace fcl::handlers
