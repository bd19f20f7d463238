#include "process_start.h"

#include <csignal>

namespace fcltool {

void start_process(int&, char**&) { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace fcltool
