#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer and runs each for FUZZ_SECONDS, stopping at the
# first crash, which libFuzzer leaves in fuzz/crashes/<target>/. It starts from the hand-made
# fuzz/seeds/ and the committed fuzz/corpus/; new inputs go to a scratch corpus under build/fuzz,
# and FUZZ_MERGE=1 folds them, minimised, into fuzz/corpus/.
set -euo pipefail
cd "$(dirname "$0")/.."
SECONDS_EACH=${FUZZ_SECONDS:-60}
TARGETS=${FUZZ_TARGETS:-"map spawner title font wav play"}
BUILD=build/fuzz
# The targets run clear of the desktop session this is started from (tests/clean_env.sh): with
# a display and no session bus, D-Bus keeps memory that the leak check takes for a crash.
# The targets' scratch files, and any a crash leaves behind, stay here and go at the end.
export TMPDIR="$PWD/$BUILD/tmp"
mkdir -p "$TMPDIR"
trap 'rm -rf "$TMPDIR"' EXIT

CC=clang CXX=clang++ cmake -S fuzz -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$(nproc)"

for target in $TARGETS; do
    mkdir -p "fuzz/corpus/$target" "fuzz/crashes/$target" "$BUILD/corpus/$target"
    echo "== fuzzing $target for ${SECONDS_EACH}s"
    # A font file never needs more than a few MB at once; one whose header claims more must be
    # refused before anything is allocated for the claim, so one large allocation is a crash.
    memory="-rss_limit_mb=2048"
    if [ "$target" = font ]; then memory="-rss_limit_mb=1024 -malloc_limit_mb=64"; fi
    # Stderr of the game itself (asset warnings on every broken input) is closed; libFuzzer's
    # and the sanitizers' reports still come through. $memory is two options on purpose.
    tests/clean_env.sh "$BUILD/fuzz_$target" \
        "$BUILD/corpus/$target" "fuzz/corpus/$target" "fuzz/seeds/$target" \
        -max_total_time="$SECONDS_EACH" -timeout=20 $memory -max_len=8192 \
        -close_fd_mask=2 -print_final_stats=1 -artifact_prefix="fuzz/crashes/$target/"
    if [ "${FUZZ_MERGE:-0}" = 1 ]; then
        # Edges only, not hit counts, and nothing the seeds already reach: a few files a target.
        fresh=$(mktemp -d)
        cp "fuzz/seeds/$target/"* "$fresh/"
        tests/clean_env.sh "$BUILD/fuzz_$target" -merge=1 -use_counters=0 -close_fd_mask=2 \
            -max_len=8192 "$fresh" "fuzz/corpus/$target" "$BUILD/corpus/$target"
        for seed in "fuzz/seeds/$target/"*; do rm -f "$fresh/$(basename "$seed")"; done
        rm -rf "fuzz/corpus/$target"
        mv "$fresh" "fuzz/corpus/$target"
        chmod 755 "fuzz/corpus/$target"
    fi
done
