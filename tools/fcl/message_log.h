// Messages about single records on standard error, capped so that a bad column in a large
// input does not flood the terminal.
#pragma once

#include <cstdint>
#include <string>

namespace fcltool {

class MessageLog {
public:
    void add(const std::string& message);
    // The count of messages left out, if any.
    void finish() const;
    std::uint64_t count() const { return count_; }

private:
    static constexpr std::uint64_t kShown = 20;
    std::uint64_t count_ = 0;
};

}  // namespace fcltool
