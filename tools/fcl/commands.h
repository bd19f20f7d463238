// The fcl commands; each returns the process exit status.
//   0 success; 1 the library reported a failure (a formula that does not compile or run, or a
//   report with failed records); 2 a usage or input problem.
#pragma once

#include "options.h"

namespace fcltool {

constexpr int kExitOk = 0;
constexpr int kExitFormula = 1;
constexpr int kExitUsage = 2;

int run_eval(const Options& options);
int run_compile(const Options& options);
int run_report(const Options& options);
int run_gen_orders(const Options& options);
int run_functions(const Options& options);
int run_help(const Options& options);

}  // namespace fcltool
