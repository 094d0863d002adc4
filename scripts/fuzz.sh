#!/usr/bin/env bash
# Long fuzzing campaigns by hand, one target after another (./test.sh runs only a short step).
#
# Usage: scripts/fuzz.sh [options] [target ... | all] [-- extra libFuzzer flags]
#   -t SECONDS   how long each target runs (default 3600); with -j, how long each job runs
#   -j JOBS      libFuzzer -jobs: that many fuzzing runs per target, sharing the corpus
#   -w WORKERS   libFuzzer -workers: how many of the jobs run at once (default: min(jobs, cores))
#   -o FOLDER    where new inputs, logs and artifacts go (default <build>/fuzz-campaign); one
#                folder per target, kept between campaigns so each one carries on from the last
#   -m           afterwards, merge what was found into the committed seed corpus (-merge=1:
#                only inputs that add coverage)
#   -b FOLDER    the fuzz build (default build-fuzz; configured and built when missing)
#   -l           list the targets and exit
# Targets are the names of tests/fuzz/<name>_fuzz.cpp; none or "all" means every one. A crash,
# leak, time-out or out-of-memory is copied to tests/fuzz/crashes/<name>/ with a note on what to
# do next. At the end a table gives per target the seconds run and the executions.
set -euo pipefail
shopt -s nullglob
# shellcheck source=scripts/fuzz_lib.sh
source "$(cd "$(dirname "$0")" && pwd)/fuzz_lib.sh"

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'
    exit "${1:-0}"
}

seconds=3600
jobs=0
workers=0
out=""
merge=0
build="$fuzz_root/build-fuzz"
list=0
while getopts "t:j:w:o:b:mlh" flag; do
    case $flag in
    t) seconds=$OPTARG ;;
    j) jobs=$OPTARG ;;
    w) workers=$OPTARG ;;
    o) out=$OPTARG ;;
    b) build=$OPTARG ;;
    m) merge=1 ;;
    l) list=1 ;;
    h) usage 0 ;;
    *) usage 2 ;;
    esac
done
shift $((OPTIND - 1))
for number in "$seconds" "$jobs" "$workers"; do
    [[ $number =~ ^[0-9]+$ ]] || usage 2
done

mapfile -t known < <(fuzz_all_targets)
if ((list)); then
    printf '%s\n' "${known[@]}"
    exit 0
fi
targets=()
extra=()
while (($# > 0)); do
    if [[ $1 == -- ]]; then
        shift
        extra=("$@")
        break
    fi
    if [[ $1 == all ]]; then
        targets+=("${known[@]}")
    elif [[ " ${known[*]} " == *" $1 "* ]]; then
        targets+=("$1")
    else
        echo "fuzz: no target $1 (scripts/fuzz.sh -l lists them)" >&2
        exit 2
    fi
    shift
done
((${#targets[@]} > 0)) || targets=("${known[@]}")

build=$(realpath -m "$build")
out=$(realpath -m "${out:-$build/fuzz-campaign}")
if [[ ! -f "$build/build.ninja" ]]; then
    CC=clang-14 CXX=clang++-14 cmake -S "$fuzz_root" -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORWICK_FUZZ=ON
fi
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

if ((jobs > 0 && workers == 0)); then
    workers=$((jobs < $(nproc) ? jobs : $(nproc)))
fi

rows=()
status=0
for name in "${targets[@]}"; do
    binary="$build/fuzz/${name}_fuzz"
    folder="$out/$name"
    stamp="$(date +%Y%m%d-%H%M%S)"
    logs="$folder/logs/$stamp"
    mkdir -p "$folder/corpus" "$folder/artifacts" "$logs"
    mapfile -t flags < <(fuzz_run_flags "$name")
    mapfile -t inputs < <(fuzz_input_folders "$name")
    parallel=()
    ((jobs == 0)) || parallel=(-jobs="$jobs" -workers="$workers")
    before=$(find "$folder/corpus" -type f | wc -l)
    touch "$logs/.started"
    echo "== fuzz: $name for $seconds s${parallel[*]:+ (${parallel[*]})}; logs in $logs"
    began=$SECONDS
    rc=0
    # With -jobs, libFuzzer writes each job's log (fuzz-<n>.log) to the folder it starts in.
    (cd "$logs" && "$binary" "${flags[@]}" -max_total_time="$seconds" "${parallel[@]}" \
        -artifact_prefix="$folder/artifacts/" "${extra[@]}" "$folder/corpus" "${inputs[@]}" \
        >"$logs/run.log" 2>&1) || rc=$?
    took=$((SECONDS - began))
    # The jobs' final stats are in their own logs, and copied into the main one.
    if ((jobs == 0)); then
        executions=$(fuzz_executions "$logs/run.log")
    else
        executions=$(fuzz_executions "$logs"/fuzz-*.log)
    fi
    found=$(($(find "$folder/corpus" -type f | wc -l) - before))

    # What failed in this campaign goes where the fuzz step replays it.
    crashes=0
    for artifact in "$folder"/artifacts/{crash,leak,timeout,oom}-*; do
        [[ $artifact -nt "$logs/.started" ]] || continue
        mkdir -p "$fuzz_sources/crashes/$name"
        cp -n "$artifact" "$fuzz_sources/crashes/$name/"
        crashes=$((crashes + 1))
        echo "fuzz: $name failed on ${artifact##*/}; copied to tests/fuzz/crashes/$name/."
        echo "  Minimise it:   $binary -minimize_crash=1 -runs=100000 $artifact"
        echo "  then fix the fault with a test that fails before the fix, replace the copy with"
        echo "  the minimised input and commit it; ./test.sh replays it from then on."
    done
    if ((rc != 0)); then
        status=1
        fuzz_report_failure "$name" "$logs/run.log" "$folder/artifacts"
    fi

    if ((merge)); then
        mkdir -p "$fuzz_sources/corpus/$name"
        seeds=$(find "$fuzz_sources/corpus/$name" -type f | wc -l)
        "$binary" -merge=1 "${flags[@]}" "$fuzz_sources/corpus/$name" "$folder/corpus" \
            >"$logs/merge.log" 2>&1 || echo "fuzz: merging $name failed; see $logs/merge.log"
        added=$(($(find "$fuzz_sources/corpus/$name" -type f | wc -l) - seeds))
        echo "fuzz: merged $added inputs into tests/fuzz/corpus/$name/ (keep seeds small)"
    fi
    rows+=("$(printf '%-28s %8d %12d %9d %7d %7d  %s' "$name" "$took" "$executions" \
        $((executions / (took > 0 ? took : 1))) "$found" "$crashes" "exit $rc")")
done

echo "== fuzz: campaign results (new inputs in $out/<target>/corpus)"
printf '%-28s %8s %12s %9s %7s %7s  %s\n' target seconds executions "exec/s" new crashes result
printf '%s\n' "${rows[@]}"
exit $status
