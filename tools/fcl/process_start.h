// What the program does before it reads its options. Elsewhere the arguments already arrive as
// UTF-8 bytes and standard streams pass bytes unchanged: a closed pipe is made to show as a
// write error rather than end the process silently. On Windows (windows/process_start.cpp) the
// arguments are taken from the UTF-16 command line and the streams are set to binary.
#pragma once

namespace fcltool {

void start_process(int& argc, char**& argv);

}  // namespace fcltool
