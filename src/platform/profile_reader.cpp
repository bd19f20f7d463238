#include "platform/profile_reader.h"

#include "platform/profile.h"

#include <cstring>

#include "platform/cp932.h"
#include "platform/unicode_cp932.h"

namespace fcl::platform {

namespace {

// Characters of an ANSI file: a single byte is its own code; these mark the other two kinds,
// with the bytes in the low 16 bits. Nothing else reaches 0x10000.
constexpr std::uint32_t kPair = 0x10000;      // | lead << 8 | trail
constexpr std::uint32_t kLoneLead = 0x20000;  // | lead

constexpr std::uint32_t kReplacement = 0xFFFD;

bool is_blank(std::uint32_t c) { return (c >= 0x09 && c <= 0x0D) || c == ' ' || c == 0x1A; }

std::uint32_t fold(std::uint32_t c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; }

// The file's bytes through a fixed buffer, with a few bytes of look-ahead.
class ByteStream {
public:
    ByteStream(ReadBytes read, void* source) : read_(read), source_(source) {}

    // The byte k places ahead (k < 4), or -1 past the end of the file.
    int peek(std::size_t k) {
        if (at_ + k >= end_ && !ended_) refill(k);
        return at_ + k < end_ ? buffer_[at_ + k] : -1;
    }
    void skip(std::size_t n) { at_ += n; }

private:
    void refill(std::size_t k) {
        std::memmove(buffer_, buffer_ + at_, end_ - at_);
        end_ -= at_;
        at_ = 0;
        while (end_ <= k && !ended_) {
            const std::size_t got = read_(source_, buffer_ + end_, sizeof buffer_ - end_);
            if (got == 0) ended_ = true;
            end_ += got;
        }
    }

    ReadBytes read_;
    void* source_;
    unsigned char buffer_[4096];
    std::size_t at_ = 0;
    std::size_t end_ = 0;
    bool ended_ = false;
};

enum class Encoding { Ansi, Utf8, Utf16Le, Utf16Be };

// The file as characters, after its byte-order mark.
class Decoder {
public:
    Decoder(ReadBytes read, void* source) : bytes_(read, source) {
        const int b0 = bytes_.peek(0), b1 = bytes_.peek(1);
        if (b0 == 0xEF && b1 == 0xBB && bytes_.peek(2) == 0xBF) {
            encoding_ = Encoding::Utf8;
            bytes_.skip(3);
        } else if (b0 == 0xFF && b1 == 0xFE) {
            encoding_ = Encoding::Utf16Le;
            bytes_.skip(2);
        } else if (b0 == 0xFE && b1 == 0xFF) {
            encoding_ = Encoding::Utf16Be;
            bytes_.skip(2);
        }
    }

    bool unicode() const { return encoding_ != Encoding::Ansi; }

    // The next character; false at the end of the file.
    bool next(std::uint32_t& c) {
        if (pending_) {
            c = pending_;
            pending_ = 0;
            return true;
        }
        const int b0 = bytes_.peek(0);
        if (b0 < 0) return false;
        switch (encoding_) {
        case Encoding::Ansi: c = next_ansi(static_cast<std::uint8_t>(b0)); return true;
        case Encoding::Utf8: c = next_utf8(static_cast<std::uint8_t>(b0)); return true;
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: {
            // An odd byte at the end is half a character: it is dropped.
            const int b1 = bytes_.peek(1);
            if (b1 < 0) return false;
            bytes_.skip(2);
            c = encoding_ == Encoding::Utf16Le ? static_cast<std::uint32_t>(b0 | b1 << 8)
                                               : static_cast<std::uint32_t>(b1 | b0 << 8);
            return true;
        }
        }
        return false;
    }

private:
    std::uint32_t next_ansi(std::uint8_t b0) {
        bytes_.skip(1);
        if (!cp932::is_lead(b0)) return b0;
        const int b1 = bytes_.peek(0);
        if (b1 <= 0) return kLoneLead | b0;
        bytes_.skip(1);
        return kPair | b0 << 8 | static_cast<std::uint32_t>(b1);
    }

    // UTF-8 as Windows decodes it: an invalid sequence gives one U+FFFD for the bytes taken so
    // far (a bad lead byte alone; a sequence up to the byte that breaks it, the first two bytes
    // of a surrogate or of a character past U+10FFFF); one cut short by the end of the file
    // takes the rest of the file.
    std::uint32_t next_utf8(std::uint8_t b0) {
        std::size_t follow = 0;
        if (b0 >= 0xC2 && b0 <= 0xDF) follow = 1;
        else if (b0 >= 0xE0 && b0 <= 0xEF) follow = 2;
        else if (b0 >= 0xF0 && b0 <= 0xF4) follow = 3;
        bytes_.skip(1);
        if (b0 < 0x80) return b0;
        if (follow == 0) return kReplacement;
        if (bytes_.peek(follow - 1) < 0) {
            while (bytes_.peek(0) >= 0) bytes_.skip(1);
            return kReplacement;
        }
        constexpr std::uint8_t kLeadBits[4] = {0x7F, 0x1F, 0x0F, 0x07};
        std::uint32_t code = b0 & kLeadBits[follow];
        for (std::size_t i = 0; i < follow; ++i) {
            const std::uint32_t bits = static_cast<std::uint32_t>(bytes_.peek(0)) ^ 0x80;
            if (bits >= 0x40) return kReplacement;
            code = code << 6 | bits;
            bytes_.skip(1);
            if (i == 0 && follow == 3 && (code < 0x10 || code >= 0x110)) return kReplacement;
            if (i == 0 && follow == 2 && (code < 0x20 || (code >= 0x360 && code < 0x380))) return kReplacement;
        }
        if (code < 0x10000) return code;
        code -= 0x10000;
        pending_ = 0xDC00 | (code & 0x3FF);
        return 0xD800 | code >> 10;
    }

    ByteStream bytes_;
    Encoding encoding_ = Encoding::Ansi;
    std::uint32_t pending_ = 0;  // the low surrogate of a character past U+FFFF
};

// Characters of a line kept up to Size: the first ones as they come, with the length of the
// text up to its last non-blank character and where its first NUL is.
template <std::size_t Size>
struct LineText {
    std::uint32_t chars[Size];
    std::size_t seen = 0;  // characters taken, leading blanks skipped
    std::size_t trimmed = 0;
    std::size_t nul = SIZE_MAX;
    std::uint32_t last = 0;         // the character at trimmed - 1
    std::uint32_t before_nul = 0;   // the character before the first NUL

    void clear() {
        seen = trimmed = 0;
        nul = SIZE_MAX;
        last = before_nul = last_added = 0;
    }

    void add(std::uint32_t c) {
        if (seen == 0 && is_blank(c)) return;
        if (c == 0 && nul == SIZE_MAX) {
            nul = seen;
            before_nul = seen > 0 ? last_added : 0;
        }
        if (seen < Size) chars[seen] = c;
        last_added = c;
        ++seen;
        if (!is_blank(c)) {
            trimmed = seen;
            last = c;
        }
    }
    // The length that counts: up to the first NUL, else trimmed.
    std::size_t length() const { return nul != SIZE_MAX ? nul : trimmed; }
    std::uint32_t final_char() const { return nul != SIZE_MAX ? before_nul : last; }

    // Whether the text equals name without regard to ASCII case.
    bool equals(const char* name, std::size_t name_length) const {
        if (length() != name_length || name_length > Size) return false;
        for (std::size_t i = 0; i < name_length; ++i)
            if (fold(chars[i]) != fold(static_cast<unsigned char>(name[i]))) return false;
        return true;
    }

private:
    std::uint32_t last_added = 0;
};

// A wanted name trimmed of blanks, as Windows trims the names it is asked for.
struct Name {
    const char* text;
    std::size_t length;
};

Name trimmed_name(const char* text) {
    while (is_blank(static_cast<unsigned char>(*text))) ++text;
    std::size_t length = std::strlen(text);
    while (length > 0 && is_blank(static_cast<unsigned char>(text[length - 1]))) --length;
    return {text, length};
}

constexpr std::size_t kMostScanKeys = 32;
constexpr std::size_t kNameChars = 64;

class SectionScan {
public:
    SectionScan(const char* section, const char* const* keys, std::size_t count, TakeValue take, void* context,
                bool unicode)
        : section_(trimmed_name(section)), count_(count < kMostScanKeys ? count : kMostScanKeys), take_(take),
          context_(context), unicode_(unicode) {
        for (std::size_t i = 0; i < count_; ++i) keys_[i] = trimmed_name(keys[i]);
    }

    // False once nothing more can be found.
    bool add(std::uint32_t c) {
        if (c == '\r' || c == '\n') return end_line();
        switch (phase_) {
        case Phase::Start:
            if (is_blank(c)) break;
            if (c == '[') {
                phase_ = Phase::Header;
                header_.clear();
                header_matches_ = false;
                header_closed_ = false;
            } else if (in_section_) {
                phase_ = Phase::Name;
                name_.clear();
                name_.add(c);
            } else {
                phase_ = Phase::Skip;
            }
            break;
        case Phase::Header:
            if (c == ']') {
                header_closed_ = true;
                header_matches_ = header_.equals(section_.text, section_.length);
            }
            header_.add(c);
            break;
        case Phase::Name:
            if (c == '=') {
                wanted_ = matching_keys();
                phase_ = wanted_ ? Phase::Value : Phase::Skip;
                value_.clear();
            } else {
                name_.add(c);
            }
            break;
        case Phase::Value: value_.add(c); break;
        case Phase::Skip: break;
        }
        return left_ > 0;
    }

    bool finish() { return end_line(); }

private:
    enum class Phase { Start, Header, Name, Value, Skip };

    std::uint32_t matching_keys() const {
        std::uint32_t mask = 0;
        for (std::size_t i = 0; i < count_; ++i)
            if (!(found_ >> i & 1) && name_.equals(keys_[i].text, keys_[i].length)) mask |= 1u << i;
        return mask;
    }

    bool end_line() {
        switch (phase_) {
        case Phase::Header:
            if (header_closed_) {
                // Leaving the first section of the name ends the search.
                if (in_section_) left_ = 0;
                in_section_ = header_matches_ && left_ > 0;
            }
            break;
        case Phase::Name: deliver(matching_keys(), false); break;
        case Phase::Value: deliver(wanted_, true); break;
        case Phase::Start:
        case Phase::Skip: break;
        }
        phase_ = Phase::Start;
        return left_ > 0;
    }

    void deliver(std::uint32_t keys, bool has_value) {
        if (!keys) return;
        ProfileValue value;
        value.unicode = unicode_;
        value.has_value = has_value;
        if (has_value) {
            std::size_t begin = 0;
            std::size_t end = value_.length();
            const std::uint32_t first = end > 0 ? value_.chars[0] : 0;
            if (end >= 2 && (first == '"' || first == '\'') && value_.final_char() == first) {
                begin = 1;
                --end;
            }
            const std::size_t kept = end < ProfileValue::kMostChars ? end : ProfileValue::kMostChars;
            value.chars = value_.chars + begin;
            value.count = kept > begin ? kept - begin : 0;
            value.longer = end > ProfileValue::kMostChars;
        }
        for (std::size_t i = 0; i < count_; ++i) {
            if (!(keys >> i & 1)) continue;
            found_ |= 1u << i;
            --left_;
            take_(context_, i, value);
        }
    }

    Name section_;
    Name keys_[kMostScanKeys];
    std::size_t count_;
    TakeValue take_;
    void* context_;
    bool unicode_;

    Phase phase_ = Phase::Start;
    bool in_section_ = false;
    std::uint32_t found_ = 0;
    std::size_t left_ = count_;
    std::uint32_t wanted_ = 0;
    bool header_matches_ = false;
    bool header_closed_ = false;
    LineText<kNameChars> header_;
    LineText<kNameChars> name_;
    LineText<ProfileValue::kMostChars> value_;
};

}  // namespace

void scan_profile(ReadBytes read, void* source, const char* section, const char* const* keys, std::size_t count,
                  TakeValue take, void* context) {
    Decoder file(read, source);
    SectionScan scan(section, keys, count, take, context, file.unicode());
    std::uint32_t c = 0;
    while (file.next(c))
        if (!scan.add(c)) return;
    scan.finish();
}

std::uint32_t value_to_text(const ProfileValue& value, char* out, std::uint32_t out_size) {
    UnicodeCp932 converter;
    std::size_t used = 0;
    bool cut = value.longer;
    for (std::size_t i = 0; i < value.count; ++i) {
        const std::uint32_t c = value.chars[i];
        unsigned char bytes[2] = {static_cast<unsigned char>(c), 0};
        std::size_t length = 1;
        if (value.unicode) length = converter.from_unit(static_cast<std::uint16_t>(c), bytes);
        else if (c & kPair) length = converter.round_trip(static_cast<std::uint8_t>(c >> 8), static_cast<std::uint8_t>(c), bytes);
        else if (c & kLoneLead) {
            bytes[0] = 0x81;
            bytes[1] = 0x45;
            length = 2;
        }
        if (used + length > out_size - 1) {
            cut = true;
            break;
        }
        std::memcpy(out + used, bytes, length);
        used += length;
    }
    std::memset(out + used, 0, cut ? out_size - used : 1);
    return static_cast<std::uint32_t>(cut ? out_size - 1 : used);
}

std::int32_t value_to_int(const ProfileValue& value, std::int32_t fallback) {
    constexpr std::size_t kMostDigits = 29;
    const std::size_t count = value.count < kMostDigits ? value.count : kMostDigits;
    if (!value.has_value || count == 0) return fallback;
    const std::uint32_t* c = value.chars;
    const std::uint32_t* end = c + count;
    while (c < end && *c <= ' ') ++c;
    bool negative = false;
    if (c < end && (*c == '+' || *c == '-')) negative = *c++ == '-';
    std::uint32_t base = 10;
    if (end - c >= 2 && c[0] == '0') {
        if (c[1] == 'x') base = 16;
        else if (c[1] == 'o') base = 8;
        else if (c[1] == 'b') base = 2;
        if (base != 10) c += 2;
    }
    std::uint32_t total = 0;
    for (; c < end; ++c) {
        std::uint32_t digit = 99;
        if (*c >= '0' && *c <= '9') digit = *c - '0';
        else if (*c >= 'A' && *c <= 'Z') digit = *c - 'A' + 10;
        else if (*c >= 'a' && *c <= 'z') digit = *c - 'a' + 10;
        if (digit >= base) break;
        total = total * base + digit;
    }
    return static_cast<std::int32_t>(negative ? 0u - total : total);
}

// ---- The profile routines of profile.h, over the platform's scan_profile_file ----

namespace {

std::uint32_t copy_cut(char* out, std::uint32_t out_size, const char* text) {
    std::size_t length = std::strlen(text);
    if (length > out_size - 1) length = out_size - 1;
    std::memcpy(out, text, length);
    out[length] = '\0';
    return static_cast<std::uint32_t>(length);
}

struct TextTarget {
    char* out;
    std::uint32_t size;
    std::uint32_t length;
    bool found;
};

void take_text(void* context, std::size_t key, const ProfileValue& value) {
    TextTarget& target = static_cast<TextTarget*>(context)[key];
    if (!value.has_value) return;
    target.length = value_to_text(value, target.out, target.size);
    target.found = true;
}

}  // namespace

std::uint32_t profile_string(const char* section, const char* key, const char* fallback,
                             char* out, std::uint32_t out_size, const char* file) {
    if (!out || out_size == 0) return 0;
    TextTarget target{out, out_size, 0, false};
    scan_profile_file(file, section, &key, 1, take_text, &target);
    // The fallback is copied as given: Windows would drop its trailing blanks and quotes, but
    // no caller passes either.
    return target.found ? target.length : copy_cut(out, out_size, fallback ? fallback : "");
}

void profile_strings(const char* section, const char* const* keys, std::size_t count, char* values,
                     std::uint32_t value_size, const char* file) {
    if (!values || value_size == 0) return;
    if (count > kMostKeys) count = kMostKeys;
    TextTarget targets[kMostKeys];
    for (std::size_t i = 0; i < count; ++i) {
        values[i * value_size] = '\0';
        targets[i] = {values + i * value_size, value_size, 0, false};
    }
    scan_profile_file(file, section, keys, count, take_text, targets);
}

std::int32_t profile_int(const char* section, const char* key, std::int32_t fallback, const char* file) {
    struct IntTarget {
        std::int32_t fallback;
        std::int32_t result;
    } target{fallback, fallback};
    scan_profile_file(file, section, &key, 1,
         [](void* context, std::size_t, const ProfileValue& value) {
             auto& t = *static_cast<IntTarget*>(context);
             t.result = value_to_int(value, t.fallback);
         },
         &target);
    return target.result;
}

}  // namespace fcl::platform
