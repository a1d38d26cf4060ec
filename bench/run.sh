#!/usr/bin/env bash
# Runs the benchmarks from the repository root, beside an Xvfb display so that the default
# renderer of this machine can be measured too; extra arguments go to Google Benchmark.
set -euo pipefail
cd "$(dirname "$0")/.."
bench="${BENCH_BUILD_DIR:-build/bench}/bench/queltivar_bench"

display=""
if command -v Xvfb >/dev/null; then
    fifo="$(mktemp -u)"
    mkfifo "$fifo"
    # Xvfb writes the number of a display it found free.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; rm -f "$fifo"' EXIT
    read -r -t 10 number <"$fifo" && display=":$number"
fi

# Nothing of the desktop session this is started from reaches the benchmarks but this display.
if [ -n "$display" ]; then
    tests/clean_env.sh DISPLAY="$display" "$bench" "$@"
else
    echo "no Xvfb: the default-renderer benchmarks are skipped" >&2
    tests/clean_env.sh "$bench" "$@"
fi
