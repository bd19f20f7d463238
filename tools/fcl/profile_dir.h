// Where fcl's library reads ORBISRPT.INI from, in this order: --profile-dir (which must exist);
// the sample profile of the source tree for the example report when FCLIB_PROFILE_DIR is not
// set; FCLIB_PROFILE_DIR; the library's default directory (the installation's configuration
// directory) when the file is there; else the sample profile, so that a fresh build knows the
// current eras. fcl links the library statically: the library reads its load-time settings at
// its first call, after this has chosen. On Windows the library reads the Windows directory
// only (windows/profile_dir.cpp).
#pragma once

#include <string>

#include "options.h"

namespace fcltool {

// Sets FCLIB_PROFILE_DIR as chosen above; says on stderr, once, when no profile file is found
// and the built-in settings apply. False with a message when --profile-dir is not a directory.
bool apply_profile_dir(const Options& options, std::string& error);

}  // namespace fcltool
