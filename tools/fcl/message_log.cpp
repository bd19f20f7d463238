#include "message_log.h"

#include <cstdio>

namespace fcltool {

void MessageLog::add(const std::string& message) {
    if (count_++ < kShown) std::fprintf(stderr, "fcl: %s\n", message.c_str());
}

void MessageLog::finish() const {
    if (count_ > kShown)
        std::fprintf(stderr, "fcl: ... and %llu more messages\n", static_cast<unsigned long long>(count_ - kShown));
}

}  // namespace fcltool
