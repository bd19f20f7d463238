#!/usr/bin/env bash
# Runs every fuzz target for SECONDS seconds: first over its regression inputs
# (fuzz/regressions/<target>/), then fuzzing from the seed corpus built from tests/cases.
#
#   usage: fuzz/run.sh SECONDS [BUILD_DIR]      (BUILD_DIR defaults to build-fuzz)
#
# Build first: cmake --workflow --preset fuzz. Corpora grow in BUILD_DIR/fuzz-corpus/<target>
# across runs; crash inputs land in BUILD_DIR/fuzz-artifacts/<target>/, logs in
# BUILD_DIR/fuzz-logs/. Targets run side by side, as many at once as there are processors
# (FUZZ_PARALLEL overrides). Exits non-zero when any target crashes or fails a check.
set -u

if [[ $# -lt 1 || ! $1 =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [BUILD_DIR]" >&2
    exit 2
fi
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-build-fuzz}
[[ $build = /* ]] || build=$root/$build
bin=$build/fuzz
targets=(fuzz_compile fuzz_code_bytes fuzz_num fuzz_hostile_callback fuzz_programs fuzz_profile)
corpus=$build/fuzz-corpus
artifacts=$build/fuzz-artifacts
logs=$build/fuzz-logs
parallel=${FUZZ_PARALLEL:-$(nproc 2>/dev/null || echo 1)}

for target in "${targets[@]}"; do
    if [[ ! -x $bin/$target ]]; then
        echo "missing $bin/$target: build with cmake --workflow --preset fuzz" >&2
        exit 2
    fi
done
mkdir -p "$logs"
for target in "${targets[@]}"; do mkdir -p "$artifacts/$target" "$corpus/$target"; done

# Seeds: the case files' formulas, then their compiled blocks for fuzz_code_bytes.
python3 "$root/fuzz/make_corpus.py" "$root/tests/cases" "$corpus" || exit 2
FCLIB_FUZZ_SEED_DIR=$corpus/fuzz_code_bytes "$bin/fuzz_compile" -runs=0 "$corpus/fuzz_compile" \
    >"$logs/seed_blocks.log" 2>&1 || { echo "writing compiled seeds failed: see $logs/seed_blocks.log" >&2; exit 1; }

failed=0

# Regression inputs: every file once; any failure stops here.
for target in "${targets[@]}"; do
    dir=$root/fuzz/regressions/$target
    files=()
    [[ -d $dir ]] && mapfile -t files < <(find "$dir" -type f ! -name '*.md' | sort)
    if [[ ${#files[@]} -eq 0 ]]; then continue; fi
    if "$bin/$target" "${files[@]}" >"$logs/$target.regressions.log" 2>&1; then
        echo "$target: ${#files[@]} regression inputs pass"
    else
        echo "$target: a regression input fails: see $logs/$target.regressions.log"
        failed=1
    fi
done
[[ $failed -eq 0 ]] || exit 1

run_target() {
    local target=$1
    local log=$logs/$target.log
    local start end
    start=$(date +%s)
    "$bin/$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target/" "$corpus/$target" >"$log" 2>&1
    local status=$?
    end=$(date +%s)
    local runs cov
    runs=$(grep -o 'Done [0-9]* runs' "$log" | tail -1 | awk '{print $2}')
    cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | awk '{print $2}')
    if [[ $status -eq 0 ]]; then
        echo "$target: ran clean for $((end - start)) s (${runs:-?} runs, coverage ${cov:-?})"
    else
        local artifact
        artifact=$(grep -o "Test unit written to .*" "$log" | tail -1 | sed 's/Test unit written to //')
        echo "$target: FAILED after $((end - start)) s (exit $status): ${artifact:-no input saved}"
        grep -m1 -E 'fuzz check failed|ERROR: |runtime error' "$log" | sed 's/^/    /'
        echo "    log: $log"
    fi
    return $status
}

pids=()
names=()
for target in "${targets[@]}"; do
    while [[ $(jobs -rp | wc -l) -ge $parallel ]]; do wait -n; done
    run_target "$target" &
    pids+=($!)
    names+=("$target")
done
for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || failed=1
done
exit $failed
