// FORMAT's picture walk: the digits format.cpp built, blanks for suppressed zeros, separators,
// the minus text and the currency symbol, placed as the picture says.
#include <cstring>

#include "functions/format.h"

namespace fcl::format {

void Output::append(const char* bytes, std::size_t count) {
    if (count > kCapacity - length_) count = kCapacity - length_;
    std::memcpy(text_ + length_, bytes, count);
    length_ += count;
}

void Output::replace(std::size_t at, std::size_t count, const char* bytes, std::size_t size) {
    if (at > length_ || count > length_ - at) return;
    const std::size_t tail = length_ - at - count;
    if (size > count && size - count > kCapacity - length_) return;
    std::memmove(text_ + at + size, text_ + at + count, tail);
    std::memcpy(text_ + at, bytes, size);
    length_ = length_ - count + size;
}

namespace {

// Text printed in one place: at most a currency symbol and a two-byte minus text.
struct Piece {
    char bytes[4];
    std::size_t size;
    void add(const char* from, std::size_t count) {
        for (std::size_t i = 0; i < count && size < sizeof bytes; ++i) bytes[size++] = from[i];
    }
};

class Renderer {
public:
    Renderer(const char* picture, std::size_t length, const PictureScan& scan, const DigitString& digits,
             const MinusMarks& marks, Output& out)
        : picture_(picture), length_(length), scan_(scan), digits_(digits), marks_(marks), out_(out) {}

    void run() {
        std::size_t i = 0;
        while (i < scan_.point) i += integer_character(i);
        if (scan_.point < length_) fraction_part(scan_.point);
        if (digits_.overflow) overflow_to_front();
    }

private:
    // A minus mark at picture[i] becomes the minus text; returns its length, 0 when no mark
    // starts there. Marks compare two bytes at a time, so a one-byte mark matches only at the
    // end of the picture.
    std::size_t take_mark(std::size_t i, std::size_t end) {
        for (std::size_t m = 0; m < marks_.count; ++m) {
            const char* mark = marks_.marks[m].bytes;
            if (mark[0] == '\0' || picture_[i] != mark[0] || picture_[i + 1] != mark[1]) continue;
            const std::size_t size = mark[1] ? 2 : 1;
            if (i + size <= end) {
                minus_.size = 0;
                minus_.add(mark, size);
                return size;
            }
        }
        return 0;
    }

    void emit_pending() {
        out_.append(pending_, pending_size_);
        pending_size_ = 0;
    }

    void start_field() {
        if (seen_digit_) return;
        emit_pending();
        seen_digit_ = true;
        field_start_ = out_.length();
    }

    // Handles the character at i before the decimal point; returns its size in bytes.
    std::size_t integer_character(std::size_t i) {
        if (const std::size_t mark = take_mark(i, scan_.point)) return mark;
        const char c = picture_[i];
        const std::size_t size = char_size(picture_, i, length_);
        if (size == 1 && is_digit_position(c)) {
            digit_position(c != '9');
        } else if (size == 1 && c == ',') {
            separator();
        } else if (size == 1 && (c == '$' || c == '\\')) {
            if (!started_ && !currency_done_) currency_ = c;
        } else if (size == 1 && c == '-') {
            fixed_minus();
        } else if (!seen_digit_) {
            // Literals ahead of the first digit position wait until the field starts.
            if (pending_size_ + size <= sizeof pending_) {
                std::memcpy(pending_ + pending_size_, picture_ + i, size);
                pending_size_ += size;
            }
        } else {
            out_.append(picture_ + i, size);
        }
        return size;
    }

    void digit_position(bool suppress) {
        start_field();
        const char digit = next_digit_ < scan_.integer_positions ? digits_.integer[next_digit_] : '0';
        ++next_digit_;
        if (skip_ > 0) {  // a minus text stands in this position
            --skip_;
            return;
        }
        if (suppress && !started_ && digit == '0') {
            out_.append(' ');
            ++suppressed_;
            return;
        }
        if (!started_) {
            if (digits_.negative && !minus_placed_) {
                if (scan_.first_digit == '9') {
                    minus_at_first_nine();
                    return;
                }
                minus_before_significant();
            } else {
                out_.append(currency_text().bytes, currency_text().size);
            }
            currency_done_ = true;
            started_ = true;
        }
        out_.append(digit);
    }

    Piece currency_text() const {
        Piece piece{};
        if (currency_ && !currency_done_) piece.add(&currency_, 1);
        return piece;
    }

    Piece currency_and_minus() const {
        Piece piece = currency_text();
        piece.add(minus_.bytes, minus_.size);
        return piece;
    }

    // A picture that starts with 9: the minus text (after any currency symbol) takes this and
    // as many following digit positions as it has bytes; their digits are not printed.
    void minus_at_first_nine() {
        const Piece piece = currency_and_minus();
        out_.append(piece.bytes, piece.size);
        minus_placed_ = true;
        currency_done_ = true;
        skip_ = minus_.size > 0 ? minus_.size - 1 : 0;
    }

    // A picture that starts with Z: the minus text goes just before the first significant
    // digit, over the blanks of suppressed zeros when there are enough of them (a currency
    // symbol then takes one more blank when there is one), else inserted there.
    void minus_before_significant() {
        const Piece piece = currency_and_minus();
        std::size_t over = 0;
        if (suppressed_ >= minus_.size) {
            over = minus_.size;
            const bool with_currency = piece.size > minus_.size;
            if (with_currency && out_.length() - field_start_ >= over + 1) ++over;
        }
        out_.replace(out_.length() - over, over, piece.bytes, piece.size);
        minus_placed_ = true;
    }

    void separator() {
        if (!seen_digit_ || started_) {
            out_.append(',');  // ahead of the field it prints at once, before held literals
        } else if (scan_.first_digit != '9') {
            out_.append(' ');
        }
        // In a picture led by 9 whose first positions a minus text took, it prints nothing.
    }

    void fixed_minus() {
        if (seen_digit_ || !digits_.negative || minus_placed_) return;
        emit_pending();
        out_.append('-');
        minus_placed_ = true;
    }

    // No significant digit before the point: a negative value gets its minus text (a blank just
    // before the point becomes 0, and the minus text covers what precedes the zeros there); a
    // currency symbol still waiting is printed before the point.
    void before_point() {
        emit_pending();
        if (!seen_digit_) field_start_ = out_.length();
        if (started_) return;
        if (digits_.negative && !minus_placed_) {
            char* text = out_.data();
            std::size_t end = out_.length();
            if (end > field_start_ && text[end - 1] == ' ') text[end - 1] = '0';
            while (end > field_start_ && text[end - 1] == '0') --end;
            const Piece piece = currency_and_minus();
            const std::size_t over = piece.size < end - field_start_ ? piece.size : end - field_start_;
            out_.replace(end - over, over, piece.bytes, piece.size);
            minus_placed_ = true;
        } else {
            out_.append(currency_text().bytes, currency_text().size);
        }
        currency_done_ = true;
    }

    void fraction_part(std::size_t point) {
        before_point();
        const char kind = scan_.point_kind;
        const std::size_t point_at = out_.length();
        if (kind != 'V') out_.append('.');
        std::size_t i = point + 1;

        // The run of characters after the point, one per fraction position.
        std::size_t starts[kMaxPicture];
        std::size_t run = 0;
        while (run < scan_.fraction_positions && i < length_) {
            starts[run++] = i;
            i += char_size(picture_, i, length_);
        }
        // Zeros in Z positions print as blanks from the right up to the first nonzero Z digit.
        bool blanks[kMaxPicture];
        bool trailing = true;
        for (std::size_t k = run; k-- > 0;) {
            const bool z = fold_case(picture_[starts[k]]) == 'Z';
            blanks[k] = trailing && z && digits_.fraction[k] == '0';
            if (z && digits_.fraction[k] != '0') trailing = false;
        }
        const char before = point_at > 0 ? out_.data()[point_at - 1] : '\0';
        for (std::size_t k = 0; k < run; ++k) out_.append(blanks[k] ? ' ' : digits_.fraction[k]);
        const bool first_blank = run > 0 && blanks[0];
        if (kind == '.' && first_blank) out_.data()[point_at] = ' ';
        if (kind == 'P' && before == ' ' && (scan_.fraction_positions == 0 || first_blank))
            out_.data()[point_at] = ' ';
        // Everything after the run is copied as it stands.
        if (i < length_) out_.append(picture_ + i, length_ - i);
    }

    void overflow_to_front() {
        char* text = out_.data();
        const std::size_t length = out_.length();
        if (length == 0 || text[0] == '*') return;
        const void* star = std::memchr(text, '*', length);
        if (!star) return;
        const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(star) - text);
        std::memmove(text + 1, text, at);
        text[0] = '*';
    }

    const char* picture_;
    std::size_t length_;
    const PictureScan& scan_;
    const DigitString& digits_;
    const MinusMarks& marks_;
    Output& out_;

    Piece minus_{{'-'}, 1};
    char pending_[kMaxPicture];
    std::size_t pending_size_ = 0;
    std::size_t field_start_ = 0;
    std::size_t next_digit_ = 0;
    std::size_t suppressed_ = 0;
    std::size_t skip_ = 0;
    char currency_ = 0;
    bool currency_done_ = false;
    bool seen_digit_ = false;
    bool started_ = false;
    bool minus_placed_ = false;
};

}  // namespace

void render_picture(const char* picture, std::size_t length, const PictureScan& scan, const DigitString& digits,
                    const MinusMarks& marks, Output& out) {
    Renderer(picture, length, scan, digits, marks, out).run();
}

}  // namespace fcl::format
