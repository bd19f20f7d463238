// Whether the profile file is code page 932 text (fcl.h). The library reads a value as Windows
// does: a broken double-byte character becomes "・" (and a lead byte at the end of a line takes
// the line break with it), so a file saved in another encoding (UTF-8 without a byte-order mark,
// typically) gives month names and eras that differ from what its author sees; the check names
// the first line where that shows.
#include <cstdio>
#include <fstream>
#include <vector>

#include "fcl.h"

namespace fcltool {

namespace {

bool is_lead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }
bool is_trail(unsigned char byte) { return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC); }

// Follows the text a byte at a time, so that lines and characters may cross read blocks. Only
// values are checked, the text after a line's first '=': comment and section lines hold none.
class ValueScan {
public:
    // False at the first byte that breaks a double-byte character of a value; line() and lead()
    // then tell where.
    bool take(unsigned char byte) {
        if (after_cr_ && byte == '\n') {  // the LF of a CRLF: the line has ended already
            after_cr_ = false;
            return true;
        }
        after_cr_ = byte == '\r';
        if (byte == '\r' || byte == '\n') {
            if (lead_ != 0) return false;
            ++line_;
            part_ = Part::start;
            return true;
        }
        if (lead_ != 0) {
            if (!is_trail(byte)) return false;
            lead_ = 0;
            return true;
        }
        if (part_ == Part::start && byte != ' ' && byte != '\t')
            part_ = byte == ';' || byte == '[' ? Part::no_value : Part::key;
        if (part_ == Part::key && byte == '=') part_ = Part::value;
        else if (part_ == Part::value && is_lead(byte)) lead_ = byte;
        return true;
    }
    // False when the file ends inside a double-byte character.
    bool finish() const { return lead_ == 0; }

    unsigned long long line() const { return line_; }
    unsigned lead() const { return lead_; }

private:
    enum class Part { start, key, value, no_value };
    unsigned long long line_ = 1;
    Part part_ = Part::start;
    unsigned char lead_ = 0;  // the lead byte waiting for its trail; 0 (never a lead) for none
    bool after_cr_ = false;
};

// Whether the text starts with a byte-order mark: UTF-8 (EF BB BF) or UTF-16 (FF FE, FE FF).
bool has_byte_order_mark(const char* text, std::size_t size) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (size >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) return true;
    return size >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF));
}

}  // namespace

void check_profile_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> block(1 << 16);
    ValueScan scan;
    bool first = true;
    bool good = true;
    while (good && file.read(block.data(), static_cast<std::streamsize>(block.size())).gcount() > 0) {
        const auto size = static_cast<std::size_t>(file.gcount());
        // A marked file is converted to code page 932 as a whole; a block of a file that goes on
        // is full, so the first one holds the mark.
        if (first && has_byte_order_mark(block.data(), size)) return;
        first = false;
        for (std::size_t i = 0; good && i < size; ++i) good = scan.take(static_cast<unsigned char>(block[i]));
    }
    if (!good || !scan.finish())
        std::fprintf(stderr,
                     "fcl: %s line %llu: not code page 932 text (byte 0x%02X starts a double-byte character "
                     "but no valid second byte follows); the library may read this value differently from how "
                     "an editor shows it\n",
                     path.c_str(), scan.line(), scan.lead());
}

}  // namespace fcltool
