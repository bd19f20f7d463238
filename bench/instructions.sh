#!/usr/bin/env bash
# Instruction counts (callgrind), which stay the same from run to run where times do not:
# per FCLEXECUTE for the four formulas of execute_bench.cpp in both number modes, and per
# record of `fcl report` over generated orders with bench/report.formulas.
#
#   usage: bench/instructions.sh BUILD_DIR [RECORDS]      (RECORDS defaults to 20000)
#
# BUILD_DIR is a Release build with fcl (e.g. cmake --preset bench). Each figure is the
# difference of two runs (N and 3N executions, R and 2R records) divided by the difference, so
# start-up and compile costs drop out.
set -euo pipefail
if [[ $# -lt 1 ]]; then
    echo "usage: $0 BUILD_DIR [RECORDS]" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
records=${2:-20000}
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O2 -I"$root/include" "$root/bench/instruction_host.c" -o "$work/host" -L"$build" -lfclib -Wl,-rpath,"$build"
count() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null | sed -n 's/.*refs: *//p' | tr -d ','; }
formulas=("[Price] * [Qty] + 1" "(a + b) * (c - d) / 2" "a > 5 AND b < 2 OR c" "20-operator chain (21 names)")
for mode in 0 1; do
    for f in 0 1 2 3; do
        a=$(count "$work/host" "$f" "$mode" 1000)
        b=$(count "$work/host" "$f" "$mode" 3000)
        printf 'execute  %-28s %-13s %6d\n' "${formulas[$f]}" "$([[ $mode = 0 ]] && echo doubles || echo text-numbers)" $(((b - a) / 2000))
    done
done
fcl=$build/tools/fcl/fcl
"$fcl" gen-orders "$records" >"$work/a.csv"
"$fcl" gen-orders $((2 * records)) >"$work/b.csv"
for numbers in "" --text-numbers; do
    a=$(count "$fcl" report "$work/a.csv" --formulas "$root/bench/report.formulas" --output csv $numbers)
    b=$(count "$fcl" report "$work/b.csv" --formulas "$root/bench/report.formulas" --output csv $numbers)
    printf 'report   %-28s %-13s %6d\n' "per record" "$([[ -z $numbers ]] && echo doubles || echo text-numbers)" $(((b - a) / records))
done
