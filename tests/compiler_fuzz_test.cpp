// Random formula texts (fixed seed): the compiler never fails badly and always leaves either the
// empty formula or a well-formed block, and a handle compiles exactly as the global context does.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>

#include "compiler_support.h"
#include "interface/values.h"

namespace fcl::test {
namespace {

// Pieces of formula text, well-formed or not, control and lead bytes among them.
const char* const kPieces[] = {
    "1", "2.5", ".5", "-", "+", "*", "/", "%", "(", ")", ",", " ", "  ", "\"ab\"", "\"\"", "'x'", "'",
    "[Name]", "[a b]", "[", "]", "\\", "\"", "Amount", "Flag", "Name", "T", "OrderDate", "s", "x.y", "_u",
    "AND", "OR", "and", "&&", "||", "&", "|", "!", "=", "==", "<", ">", "<=", ">=", "<>", "!=", "=<", "=>",
    "LEFT(", "MID(", "IF(", "SELECT(", "DATE()", "PAGE()", "ABS(", "@abs(", "IN(", "MIN(", "ADD(", "EQ(",
    "ADATE(", "ATIME(", "\"12:00:00\"", "\"2024/01/01\"", "\"Y\"", "Unknown", "Untyped", "FOO(", "@", ".",
    "\t", "\n", "\x01", "\x7F", "\x80", "\x82", "\x82\xA0", "\xA0", "\xB1", "\xFD", "\xFF", "#", "1e5",
};

// Well-formed formulas to mutate.
const char* const kSeeds[] = {
    "1+2*3", "LEFT([Name], 3) = \"AB\"", "Amount > 5 AND Flag", "5 < Amount OR !Flag",
    "IF(Amount > 0, Name, \"none\")", "MID(Name, 2) + \"x\"", "-(Amount + 1) * 2 % 3",
    "ADATE(\"2024/01/31\", 1) > OrderDate", "T = \"12:34:56\"", "SELECT(Amount, 'a', 'b', 'c')",
    "IN(Amount, 1, 2, 3)", "ABS(ABS(-Amount))", "DATE()", "Sales.Total / 4", "[Unit Price] * [Qty]",
};

std::string random_text(std::mt19937& random) {
    std::string text;
    const unsigned shape = random() % 8;
    if (shape >= 5) {
        // A well-formed formula with up to three pieces inserted or bytes dropped.
        text = kSeeds[random() % std::size(kSeeds)];
        for (unsigned edits = random() % 4; edits > 0 && !text.empty(); --edits) {
            const std::size_t at = random() % text.size();
            if (random() % 2) text.insert(at, kPieces[random() % std::size(kPieces)]);
            else text.erase(at, 1 + random() % 3);
        }
        return text;
    }
    if (shape == 0) {
        // Raw bytes (no NUL), sometimes longer than the text area.
        const std::size_t length = random() % 4 == 0 ? 400 + random() % 300 : random() % 60;
        for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(1 + random() % 255);
        return text;
    }
    const std::size_t pieces = 1 + random() % (shape == 1 ? 250 : 30);
    for (std::size_t i = 0; i < pieces; ++i) text += kPieces[random() % std::size(kPieces)];
    return text;
}

// Checks the block in code against the rules of the compiled-formula format.
void check_block(const std::string& text, uint16_t status, const unsigned char* code, uint16_t length) {
    static const std::set<uint16_t> statuses = {0, 1001, 1002, 1003, 1005, 1006, 1007, 1008};
    ASSERT_TRUE(statuses.count(status)) << status << " for " << text;
    ASSERT_GE(length, 7) << text;
    ASSERT_LE(length, FCL_MAX_CODE) << text;
    for (std::size_t i = length; i < FCL_MAX_CODE + 64; ++i) ASSERT_EQ(code[i], 0xCD) << "written past the block: " << text;
    if (status != 0) {
        ASSERT_EQ(hex(code, length), "01 00 07 00 01 00 00") << text;
        return;
    }
    ASSERT_EQ(code[2] | (code[3] << 8), length) << text;
    ASSERT_EQ(code[length - 1], 0) << text;
    std::size_t at = 4;
    while (at < length - 1u) {
        const std::uint16_t size = value_size(code + at, length - 1u - at);
        ASSERT_GT(size, 0) << "bad item at " << at << ": " << text;
        if (code[at] == FCL_T_FUNCTION) {
            ASSERT_NE(function_record(code[at + 1]), nullptr) << text;
        }
        at += size;
    }
    ASSERT_EQ(at, length - 1u) << text;
}

TEST(CompilerFuzz, RandomTextsLeaveWellFormedBlocks) {
    std::mt19937 random(20240315);
    auto* handle = FCLCREATEHANDLE();
    ASSERT_NE(handle, nullptr);
    int compiled = 0;
    int refused = 0;
    for (int round = 0; round < 20000; ++round) {
        FCLSETMODE(round % 4 == 0 ? 1 : 0);
        const std::string text = random_text(random);
        const Compiled c = compile(text);
        check_block(text, c.status, c.code, c.length);
        if (HasFatalFailure()) break;
        (c.status == 0 ? compiled : refused) += 1;
        if (round % 8 == 0) {
            Host host = example_host();
            unsigned char code[FCL_MAX_CODE + 64];
            std::memset(code, 0xCD, sizeof code);
            uint16_t length = 0;
            EXPECT_EQ(FCLCOMPILE2(Host::callback, &host, text.c_str(), code, &length, handle), c.status) << text;
            EXPECT_EQ(hex(code, length), c.bytes) << text;
        }
    }
    FCLSETMODE(0);
    FCLRELEASEHANDLE(handle);
    EXPECT_GT(compiled, 500);
    EXPECT_GT(refused, 500);
}

}  // namespace
}  // namespace fcl::test
