#!/usr/bin/env bash
# An hour of game time or more (first argument: minutes), under the sanitizers' leak check.
set -euo pipefail
cd "$(dirname "$0")/../.."
# A small quarantine, so that resident memory from game to game shows the heap, not freed blocks.
export ASAN_OPTIONS=detect_leaks=1:quarantine_size_mb=8
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
exec tests/clean_env.sh SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software \
    "${BOT_BUILD_DIR:-build/test}/bench/bot/queltivar_soak" "$@"
