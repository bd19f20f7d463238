// The operator-precedence decision: what the parser does with an incoming token.
#pragma once

#include <cstdint>

namespace fcl {

enum class Action : std::uint8_t { Shift, Reduce, Match, Accept, Error };

// Action for the precedence class on top of the parse stack and the incoming token's class,
// given the current call nesting level and the previous token's class.
Action decide(std::uint8_t top, std::uint8_t incoming, std::uint8_t level, std::uint16_t previous);

}  // namespace fcl
