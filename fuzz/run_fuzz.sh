#!/bin/sh
# Runs every fuzz target under libFuzzer for a set time, one after another (or
# JOBS at a time), with the address and undefined-behaviour sanitizers built in.
#
#   fuzz/run_fuzz.sh BUILD_DIR SECONDS JOBS [TARGET...]
#
# Each target starts from its seed corpus (fuzz/corpus/<target>) and every
# crash input found before (fuzz/regressions/<target>); what it learns goes to
# BUILD_DIR/corpus/<target>, its log to BUILD_DIR/fuzz-logs/<target>.log.
# A crash, a hang (over 10 s for one input), more than 2048 MB resident or a
# single allocation over 1024 MB is a finding: libFuzzer writes the input to
# fuzz/regressions/<target>/ and `make test` replays it from there.
# Exit status 1 when any target had a finding.
set -u
build=$1
seconds=$2
jobs=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
targets=$*
if [ -z "$targets" ]; then
    targets=$(sed -n '/^ *\(set\|list\)(.*FEROLIN_FUZZ_TARGETS /{s/.*FEROLIN_FUZZ_TARGETS //;s/).*//;p;}' \
        "$here/CMakeLists.txt" | tr '\n' ' ')
fi
mkdir -p "$build/fuzz-logs"

run_one() {
    t=$1
    mkdir -p "$build/corpus/$t" "$here/regressions/$t"
    rm -f "$build/fuzz-logs/$t.status"
    # allocator_may_return_null=0: an allocation the sanitizer refuses is a
    # finding, not a null pointer the reader may quietly survive.
    ASAN_OPTIONS=allocator_may_return_null=0:detect_leaks=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    nice -n 10 "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -malloc_limit_mb=1024 -print_final_stats=1 \
        -artifact_prefix="$here/regressions/$t/" \
        "$build/corpus/$t" "$here/corpus/$t" "$here/regressions/$t" \
        > "$build/fuzz-logs/$t.log" 2>&1
    echo $? > "$build/fuzz-logs/$t.status"
}

running=0
for t in $targets; do
    run_one "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait
        running=0
    fi
done
wait

failed=0
for t in $targets; do
    status=$(cat "$build/fuzz-logs/$t.status" 2>/dev/null || echo 1)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/fuzz-logs/$t.log" | tail -1)
    time=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$build/fuzz-logs/$t.log" | tail -1)
    if [ "$status" = 0 ]; then
        echo "fuzz_$t: ${runs:-?} runs in ${time:-?} s, no finding"
    else
        echo "fuzz_$t: FINDING (exit $status), see $build/fuzz-logs/$t.log and fuzz/regressions/$t/"
        failed=1
    fi
done
exit $failed
