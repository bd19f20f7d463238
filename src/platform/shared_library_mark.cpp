// Linked into the shared library only: its presence tells the profile routines (profile.cpp)
// that they run from libfclib.so, whose own directory locates the installed profile.
extern "C" __attribute__((visibility("hidden"))) const char fclib_shared_library_mark = 1;
