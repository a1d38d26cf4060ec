#!/usr/bin/env bash
# The loudness of one pass of the title music and of a minute of the bot's play, both at volume
# 10, as SDL's disk audio driver writes them: raw signed 16-bit mono at 44100 Hz. From the
# repository root; the recordings stay in build/loudness.
set -euo pipefail
cd "$(dirname "$0")/../.."
out=build/loudness
mkdir -p "$out"
raw=(-t raw -r 44100 -e signed -b 16 -c 1)
export SDL_VIDEODRIVER=dummy SDL_RENDER_DRIVER=software SDL_AUDIODRIVER=disk

# The game on its title screen a little longer than one pass; the music starts with the second
# frame, so the pass begins at the first sound.
pass=$(sox --i -s assets/title.wav)
rm -f "$out/title.raw"
SDL_DISKAUDIOFILE="$out/title.raw" timeout $((pass / 44100 + 3)) build/release/queltivar || true
first=$(od -An -v -td2 -w2 "$out/title.raw" | awk '$1 != 0 && !found { print NR - 1; found = 1 }')
echo "Title music, one pass of $pass samples:"
sox "${raw[@]}" "$out/title.raw" -n trim "${first}s" "${pass}s" stats 2>&1 | grep -E "RMS lev|Pk lev"

# A minute of play from the click that starts the waves, in real time.
rm -f "$out/play.raw"
SDL_DISKAUDIOFILE="$out/play.raw" "${BOT_BUILD_DIR:-build/test}/bench/bot/queltivar_bot" \
    record 60 "${1:-1}"
echo "A minute of play:"
sox "${raw[@]}" "$out/play.raw" -n stats 2>&1 | grep -E "RMS lev|Pk lev"
# Sound comes in bursts: the RMS of the 100 ms windows that hold any.
od -An -v -td2 -w2 "$out/play.raw" | awk '
    { sum += $1 * $1; n++; heard = heard || $1 != 0 }
    n == 4410 { if (heard) { total += sum; count += n; windows++ } sum = n = heard = 0 }
    END { printf "RMS of the %d windows of 100 ms with sound: %.1f dBFS\n", windows,
          10 * log(total / count / 32768 / 32768) / log(10) }'
