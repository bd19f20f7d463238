#include "options.h"

#include <cstdlib>

namespace fcltool {

namespace {

using Apply = bool (*)(Options&, const std::string&);

constexpr unsigned long kMaxThreads = 64;

struct OptionEntry {
    const char* name;
    bool takes_value;
    Apply apply;
};

bool one_of(const std::string& value, std::initializer_list<const char*> allowed) {
    for (const char* word : allowed)
        if (value == word) return true;
    return false;
}

constexpr OptionEntry kOptions[] = {
    {"--field", true, [](Options& o, const std::string& v) { o.fields.push_back(v); return true; }},
    {"--column", true, [](Options& o, const std::string& v) { o.columns.push_back(v); return true; }},
    {"--formulas", true, [](Options& o, const std::string& v) { o.formulas = v; return true; }},
    {"--group-by", true, [](Options& o, const std::string& v) { o.group_by = v; return true; }},
    {"--output", true,
     [](Options& o, const std::string& v) { o.output = v; return one_of(v, {"table", "csv", "json"}); }},
    {"--encoding", true,
     [](Options& o, const std::string& v) { o.encoding = v; return one_of(v, {"utf8", "utf-8", "cp932"}); }},
    {"--backend", true,
     [](Options& o, const std::string& v) { o.backend = v; return one_of(v, {"decimal", "double"}); }},
    {"--profile-dir", true, [](Options& o, const std::string& v) { o.profile_dir = v; return !v.empty(); }},
    {"--seed", true,
     [](Options& o, const std::string& v) {
         char* end = nullptr;
         o.seed = std::strtoull(v.c_str(), &end, 10);
         return !v.empty() && *end == 0;
     }},
    {"--threads", true,
     [](Options& o, const std::string& v) {
         char* end = nullptr;
         const unsigned long count = std::strtoul(v.c_str(), &end, 10);
         o.threads = static_cast<unsigned>(count);
         return !v.empty() && v[0] >= '0' && v[0] <= '9' && *end == 0 && count >= 1 && count <= kMaxThreads;
     }},
    {"--text-numbers", false, [](Options& o, const std::string&) { o.text_numbers = true; return true; }},
    {"--exact", false, [](Options& o, const std::string&) { o.exact = true; return true; }},
    {"--quiet", false, [](Options& o, const std::string&) { o.quiet = true; return true; }},
    {"--help", false, [](Options& o, const std::string&) { o.help = true; return true; }},
    {"--version", false, [](Options& o, const std::string&) { o.version = true; return true; }},
    {"-h", false, [](Options& o, const std::string&) { o.help = true; return true; }},
};

const OptionEntry* find_option_entry(const std::string& name) {
    for (const auto& entry : kOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

}  // namespace

bool parse_options(int argc, char** argv, Options& options, std::string& error) {
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (word == "--" && !options_end) {
            options_end = true;
            continue;
        }
        // A lone "-" (standard input), negative numbers and everything after "--" are arguments.
        if (options_end || word.size() < 2 || word[0] != '-' || (word[1] >= '0' && word[1] <= '9') ||
            word[1] == '.') {
            if (options.command.empty()) {
                options.command = word;
            } else {
                options.arguments.push_back(word);
            }
            continue;
        }
        std::string value;
        bool inline_value = false;
        const auto equals = word.find('=');
        if (word.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = word.substr(equals + 1);
            word.resize(equals);
            inline_value = true;
        }
        const OptionEntry* entry = find_option_entry(word);
        if (!entry) {
            error = "unknown option " + word;
            return false;
        }
        if (entry->takes_value && !inline_value) {
            if (i + 1 >= argc) {
                error = word + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!entry->takes_value && inline_value) {
            error = word + " takes no value";
            return false;
        }
        if (!entry->apply(options, value)) {
            error = "bad value for " + word + ": " + value;
            return false;
        }
    }
    return true;
}

}  // namespace fcltool
