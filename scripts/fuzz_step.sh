#!/usr/bin/env bash
# The fuzz step of ./test.sh, over every target tests/fuzz/*_fuzz.cpp built in the fuzz build,
# in a fixed wall time however many targets there are:
#   1. every seed and every committed crash input, once;
#   2. fuzzing: MORWICK_FUZZ_SECONDS (default 540) of wall time on MORWICK_FUZZ_JOBS cores
#      (default: all), shared out equally between the targets. A target whose share does not fit
#      in what is left of one core's time continues on the next core, never at the same time.
# New inputs go to <build>/fuzz-step/corpus/<name>/, never into the committed corpus. A crash,
# leak, time-out or out-of-memory fails the step and prints the target, the input in hex and
# the stack.
#
# Usage: scripts/fuzz_step.sh [fuzz build folder, default build-fuzz]
set -euo pipefail
shopt -s nullglob
# shellcheck source=scripts/fuzz_lib.sh
source "$(cd "$(dirname "$0")" && pwd)/fuzz_lib.sh"

build=$(realpath "${1:-$fuzz_root/build-fuzz}")
budget=${MORWICK_FUZZ_SECONDS:-540}
cores=${MORWICK_FUZZ_JOBS:-$(nproc)}
if ! [[ $budget =~ ^[0-9]+$ && $cores =~ ^[0-9]+$ ]] || ((cores < 1)); then
    echo "fuzz: MORWICK_FUZZ_SECONDS and MORWICK_FUZZ_JOBS must be whole numbers" >&2
    exit 2
fi
work="$build/fuzz-step"
rm -rf "$work"
mkdir -p "$work/logs" "$work/results" "$work/artifacts" "$work/corpus"

mapfile -t targets < <(fuzz_all_targets)
if ((${#targets[@]} == 0)); then
    echo "fuzz: no targets in $fuzz_sources" >&2
    exit 1
fi
status=0
for name in "${targets[@]}"; do
    if [[ ! -x "$build/fuzz/${name}_fuzz" ]]; then
        echo "fuzz: $name is not built ($build/fuzz/${name}_fuzz)" >&2
        status=1
    fi
done
((status == 0)) || exit 1

# Runs "$@" in the background, waiting first while $cores runs are going.
pool_start() {
    while (($(jobs -rp | wc -l) >= cores)); do
        wait -n || true
    done
    "$@" &
}

# Stage 1 for one target: the seeds as a corpus (read, never written), then each crash input on
# its own and whole. Writes "<status> <inputs> <failing input>" to results/<name>.replay.
replay() {
    local name=$1
    local binary="$build/fuzz/${name}_fuzz" log="$work/logs/$name.replay.log"
    local artifacts="$work/artifacts/$name.replay/" rc=0
    mkdir -p "$artifacts" "$work/replay/$name"
    local options
    mapfile -t options < <(fuzz_option_flags "$name")
    local limits=(-timeout="$fuzz_timeout" -rss_limit_mb="$fuzz_rss_limit_mb"
        -artifact_prefix="$artifacts")
    local seeds=() crashes=()
    [[ -d "$fuzz_sources/corpus/$name" ]] && seeds=("$fuzz_sources/corpus/$name")
    if [[ -d "$fuzz_sources/crashes/$name" ]]; then
        mapfile -t crashes < <(find "$fuzz_sources/crashes/$name" -type f ! -name '*.md' | sort)
    fi
    timeout -k 10 900 "$binary" "${limits[@]}" "${options[@]}" -runs=0 \
        "$work/replay/$name" "${seeds[@]}" >"$log" 2>&1 || rc=$?
    # Options such as -max_len do not apply: a committed input runs whole, as it was found, and
    # alone, so that a failure names it.
    local crash failing=""
    for crash in "${crashes[@]}"; do
        ((rc == 0)) || break
        timeout -k 10 900 "$binary" "${limits[@]}" "$crash" >>"$log" 2>&1 || rc=$?
        ((rc == 0)) || failing=$crash
    done
    local count=${#crashes[@]}
    ((${#seeds[@]} == 0)) || count=$((count + $(find "${seeds[0]}" -type f | wc -l)))
    echo "$rc $count $failing" >"$work/results/$name.replay"
}

echo "== fuzz: seeds and committed crash inputs of ${#targets[@]} targets"
start=$SECONDS
for name in "${targets[@]}"; do
    pool_start replay "$name"
done
wait
failed=()
inputs=0
for name in "${targets[@]}"; do
    read -r rc count failing <"$work/results/$name.replay"
    inputs=$((inputs + count))
    if ((rc != 0)); then
        failed+=("$name")
        fuzz_report_failure "$name" "$work/logs/$name.replay.log" "$work/artifacts/$name.replay" \
            "$failing"
    fi
done
echo "== fuzz: ran $inputs inputs once in $((SECONDS - start)) s; ${#failed[@]} targets failed"
((${#failed[@]} == 0)) || status=1

# Stage 2 plan: each target's share of cores x budget seconds, laid end to end over the cores
# (McNaughton's wrap-around). A target split over two cores runs last on the first and first
# on the next, and its share never exceeds the budget, so its two runs never overlap.
fuzzed=()
for name in "${targets[@]}"; do
    [[ " ${failed[*]} " == *" $name "* ]] || fuzzed+=("$name")
done
count=${#fuzzed[@]}
if ((count == 0 || budget == 0)); then
    echo "== fuzz: no fuzzing (budget ${budget} s, ${count} targets)"
    exit $status
fi
share=$((budget * cores / count))
((share <= budget)) || share=$budget
((share >= 1)) || share=1
declare -a plan
core=0
used=0
for name in "${fuzzed[@]}"; do
    left=$share
    while ((left > 0)); do
        if ((used >= budget)); then
            core=$((core + 1))
            used=0
        fi
        piece=$((budget - used < left ? budget - used : left))
        plan[core]+="$name:$piece "
        used=$((used + piece))
        left=$((left - piece))
    done
done

# One core's runs, one after another. Each writes "<name> <planned> <seconds> <rc>" to results.
run_core() {
    local core=$1 step=0 entry
    for entry in ${plan[core]}; do
        local name=${entry%%:*} seconds=${entry##*:}
        local binary="$build/fuzz/${name}_fuzz" log="$work/logs/$name.$core.$step.log"
        local artifacts="$work/artifacts/$name/" flags rc=0 began=$SECONDS
        mkdir -p "$artifacts" "$work/corpus/$name"
        mapfile -t flags < <(fuzz_run_flags "$name")
        local inputs
        mapfile -t inputs < <(fuzz_input_folders "$name")
        timeout -k 30 $((seconds + 300)) "$binary" "${flags[@]}" -max_total_time="$seconds" \
            -artifact_prefix="$artifacts" "$work/corpus/$name" "${inputs[@]}" >"$log" 2>&1 ||
            rc=$?
        echo "$name $seconds $((SECONDS - began)) $rc $log" >"$work/results/run.$core.$step"
        step=$((step + 1))
    done
}

used_cores=$((core + 1))
echo "== fuzz: ${count} targets, ${share} s each, over ${used_cores} cores for ${budget} s"
start=$SECONDS
for ((core = 0; core < used_cores; ++core)); do
    run_core "$core" &
done
wait
elapsed=$((SECONDS - start))

printf '%-28s %6s %8s %12s %9s %7s  %s\n' target runs seconds executions "exec/s" "new" result
for name in "${fuzzed[@]}"; do
    runs=0 seconds=0 worst=0 logs=()
    for result in "$work"/results/run.*; do
        read -r who _ took rc log <"$result"
        [[ $who == "$name" ]] || continue
        runs=$((runs + 1))
        seconds=$((seconds + took))
        logs+=("$log")
        ((rc == 0)) || worst=$rc
    done
    executions=$(fuzz_executions "${logs[@]}")
    found=$(find "$work/corpus/$name" -type f | wc -l)
    outcome=ok
    if ((worst != 0)); then
        outcome="FAILED (exit $worst)"
        status=1
    fi
    printf '%-28s %6d %8d %12d %9d %7d  %s\n' "$name" "$runs" "$seconds" "$executions" \
        $((executions / (seconds > 0 ? seconds : 1))) "$found" "$outcome"
done
for result in "$work"/results/run.*; do
    read -r who _ _ rc log <"$result"
    ((rc == 0)) || fuzz_report_failure "$who" "$log" "$work/artifacts/$who"
done
echo "== fuzz: fuzzing took ${elapsed} s; new inputs are in $work/corpus"
exit $status
