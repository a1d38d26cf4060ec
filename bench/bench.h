// What every benchmark shares: the drivers SDL is brought up with.
#pragma once

#include <benchmark/benchmark.h>

enum class Display {
    SOFTWARE, // the dummy video driver with SDL's software renderer: the same on every machine
    DEFAULT,  // this machine's display and whichever renderer SDL picks for it first
    SOFTWARE_WINDOW, // this machine's display, drawn by SDL's software renderer
};

// Sets SDL's drivers for the next start-up; false, and the benchmark skipped, when there is no
// display to open (`make bench` provides one).
bool choose_display(Display display, benchmark::State& state);
