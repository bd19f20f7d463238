#!/usr/bin/env bash
# Instruction counts (callgrind), which stay the same from run to run where times do not:
# per FCLEXECUTE for the formulas of execute_bench.cpp (the four of BM_Execute, then those of
# BM_ExecuteFunctionCall and BM_ExecuteTextFormula) in both number modes, and per record of
# `fcl report` over generated orders with bench/report.formulas.
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
formulas=(0 1 2 3 'FORMAT([Price], "ZZ,ZZ9.99")' 'STR([Price], 10, 2)'
          'IF([Qty] > 10, [Price] * 0.9, [Price]) * [Qty]' 'LEFT([Name], 3) = "ABC"' '[Name] + "-" + [Name2]'
          'DTOC([Date])' 'ROUND([Price] * 1.1, -2)')
names=('[Price] * [Qty] + 1' '(a + b) * (c - d) / 2' 'a > 5 AND b < 2 OR c' '20-operator chain (21 names)')
printf '%-48s %9s %13s\n' formula doubles text-numbers
for formula in "${formulas[@]}"; do
    label=$formula
    [[ $formula =~ ^[0-3]$ ]] && label=${names[$formula]}
    line=$(printf '%-48s' "$label")
    for mode in 0 1; do
        a=$(count "$work/host" "$formula" "$mode" 1000)
        b=$(count "$work/host" "$formula" "$mode" 3000)
        line+=$(printf ' %9d' $(((b - a) / 2000)))
    done
    echo "$line"
done
fcl=$build/tools/fcl/fcl
"$fcl" gen-orders "$records" >"$work/a.csv"
"$fcl" gen-orders $((2 * records)) >"$work/b.csv"
line=$(printf '%-48s' "fcl report, per record")
for numbers in "" --text-numbers; do
    a=$(count "$fcl" report "$work/a.csv" --formulas "$root/bench/report.formulas" --output csv $numbers)
    b=$(count "$fcl" report "$work/b.csv" --formulas "$root/bench/report.formulas" --output csv $numbers)
    line+=$(printf ' %9d' $(((b - a) / records)))
done
echo "$line"
