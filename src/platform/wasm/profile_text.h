// The profile of the WebAssembly build: the text of ORBISRPT.INI that the host hands over, read
// by profile_reader as Windows reads the file.
#pragma once

#include <cstddef>

namespace fcl::platform {

// Keeps a copy of the profile's bytes; null means there is no profile. False when memory is
// exhausted (the profile is then missing).
bool set_profile_text(const unsigned char* bytes, std::size_t size);

}  // namespace fcl::platform
