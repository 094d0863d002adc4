# shellcheck shell=bash
# What scripts/fuzz_step.sh and scripts/fuzz.sh share: finding the fuzz targets and their files,
# the flags every run gets, and reading a run's log. Sourced, not run.
#
# A target is tests/fuzz/<name>_fuzz.cpp, built as <build>/fuzz/<name>_fuzz. Beside it:
#   tests/fuzz/corpus/<name>/    seeds (committed)
#   tests/fuzz/crashes/<name>/   inputs that once failed, kept so they stay fixed (committed)
#   tests/fuzz/<name>.dict       a libFuzzer dictionary (optional)
#   tests/fuzz/<name>.options    one line of extra flags, such as -max_len=65536 (optional)

fuzz_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_sources="$fuzz_root/tests/fuzz"

# libFuzzer's own input-size default when a target names none.
readonly fuzz_default_max_len=4096
# Per input: a run slower than this, or using more memory, is a fault of the code under test.
readonly fuzz_timeout=10
readonly fuzz_rss_limit_mb=2048

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1:symbolize=1}
if [[ -z ${ASAN_SYMBOLIZER_PATH:-} ]] && command -v llvm-symbolizer-14 >/dev/null; then
    ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer-14)
    export ASAN_SYMBOLIZER_PATH
fi

# Every target's name, sorted, one a line.
fuzz_all_targets() {
    local source
    for source in "$fuzz_sources"/*_fuzz.cpp; do
        [[ -e $source ]] || continue
        source=${source##*/}
        echo "${source%_fuzz.cpp}"
    done | sort
}

# The flags of <name>.options, one a line.
fuzz_option_flags() {
    local file="$fuzz_sources/$1.options"
    [[ -f $file ]] || return 0
    local line flag
    while read -r line || [[ -n $line ]]; do
        [[ $line == \#* ]] && continue
        for flag in $line; do
            echo "$flag"
        done
    done <"$file"
}

# The flags a fuzzing run of target $1 gets: its options (with a default -max_len) and its
# dictionary, plus the per-input limits.
fuzz_run_flags() {
    local name=$1
    local options
    mapfile -t options < <(fuzz_option_flags "$name")
    local flags=(-timeout="$fuzz_timeout" -rss_limit_mb="$fuzz_rss_limit_mb" -print_final_stats=1)
    if [[ " ${options[*]} " != *" -max_len="* ]]; then
        flags+=(-max_len="$fuzz_default_max_len")
    fi
    flags+=("${options[@]}")
    if [[ -f "$fuzz_sources/$name.dict" ]]; then
        flags+=(-dict="$fuzz_sources/$name.dict")
    fi
    printf '%s\n' "${flags[@]}"
}

# The committed input folders of target $1 that exist: seeds, then crash inputs.
fuzz_input_folders() {
    local folder
    for folder in "$fuzz_sources/corpus/$1" "$fuzz_sources/crashes/$1"; do
        [[ -d $folder ]] && echo "$folder"
    done
    return 0
}

# Executions a run's log reports (the sum over every final-stats block in it), 0 for none.
fuzz_executions() {
    awk '/^stat::number_of_executed_units:/ { sum += $2 } END { print sum + 0 }' "$@" 2>/dev/null ||
        echo 0
}

# Prints what a failed run left: the input (as hex, the first 512 bytes) and the report with its
# stack. $1 is the target, $2 its log, $3 the folder its artifacts went to, $4 (optional) the
# input it was given when it ran single inputs.
fuzz_report_failure() {
    local name=$1 log=$2 artifacts=$3 given=${4:-}
    echo "FUZZ FAILURE: $name"
    local input=""
    if [[ -d $artifacts ]]; then
        input=$(find "$artifacts" -maxdepth 1 -type f \
            \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) \
            -printf '%T@ %p\n' 2>/dev/null | sort -n | tail -n 1 | cut -d' ' -f2-)
    fi
    [[ -n $input ]] || input=$given
    if [[ -n $input && -f $input ]]; then
        local bytes
        bytes=$(stat -c %s "$input")
        echo "input: $input ($bytes bytes; the first 512 in hex)"
        od -An -tx1 -v -N512 "$input"
    else
        echo "input: none was written (see the report)"
    fi
    echo "report:"
    # From the first line of the sanitizer's or libFuzzer's own report to the end, capped.
    awk '
        !started && (/==[0-9]+==ERROR/ || /ERROR: libFuzzer/ || /runtime error:/ ||
                     /^==[0-9]+== ERROR/ || /ALARM: working on the last Unit/ ||
                     /out-of-memory \(/) { started = 1 }
        started { print; if (++shown >= 200) exit }
        END { if (!started) exit 1 }
    ' "$log" || tail -n 60 "$log"
    echo "end of failure: $name"
}
