// fcl gen-orders N: N order records as CSV, in category blocks (ready for --group-by Category),
// from a fixed-seed generator so that runs can be repeated.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands.h"
#include "output_sink.h"

namespace fcltool {

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
    char* end = nullptr;
    const unsigned long long count =
        options.arguments.size() == 1 ? std::strtoull(options.arguments[0].c_str(), &end, 10) : 0;
    if (options.arguments.size() != 1 || *end != 0) {
        std::fprintf(stderr, "fcl gen-orders: give the number of records (see fcl --help)\n");
        return kExitUsage;
    }
    Random random(options.seed);
    OutputSink sink(stdout);
    sink.write("OrderNo:number,OrderDate:date,Customer:string,Category:string,Item:string,Qty:number,Price:number\n");
    constexpr unsigned kCategoryCount = sizeof kCategories / sizeof kCategories[0];
    constexpr unsigned kCustomerCount = sizeof kCustomers / sizeof kCustomers[0];
    for (unsigned long long i = 0; i < count; ++i) {
        const Category& category = kCategories[i * kCategoryCount / count];
        const Item& item = category.items[random.below(4)];
        std::string line = std::to_string(i + 1);
        line += ',';
        line += date_of_2024(random.below(366));
        line += ',';
        line += kCustomers[random.below(kCustomerCount)];
        line += ',';
        line += category.name;
        line += ',';
        line += item.name;
        line += ',';
        line += std::to_string(1 + random.below(12));
        line += ',';
        line += std::to_string(item.price);
        line += '\n';
        sink.write(line);
    }
    return kExitOk;
}

}  // namespace fcltool
