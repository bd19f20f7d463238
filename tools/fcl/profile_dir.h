// Where fcl's library reads ORBISRPT.INI from, in this order: --profile-dir (which must exist);
// FCLIB_PROFILE_DIR; the library's default directory (the installation's configuration
// directory) when the file is there; else the sample profile of the source tree fcl was built
// from, so that a fresh build knows the current eras. fcl links the library statically: the
// library reads its load-time settings at its first call, after this has chosen.
#pragma once

#include <string>

namespace fcltool {

// Sets FCLIB_PROFILE_DIR as chosen above; says on stderr, once, when no profile file is found
// and the built-in settings apply. False with a message when --profile-dir is not a directory.
bool apply_profile_dir(const std::string& requested, std::string& error);

// The sample profile's directory in the source tree.
std::string sample_profile_dir();

}  // namespace fcltool
