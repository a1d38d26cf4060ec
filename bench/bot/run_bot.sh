#!/usr/bin/env bash
# Twenty seeded games of the shipped campaign by the bot, as a table; from the repository root.
set -euo pipefail
cd "$(dirname "$0")/../.."
exec tests/clean_env.sh SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software \
    "${BOT_BUILD_DIR:-build/test}/bench/bot/queltivar_bot" "$@"
