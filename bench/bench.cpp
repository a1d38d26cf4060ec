// The drivers behind each benchmark's start-up.
#include "bench.h"

#include "headless.h"

#include <cstdlib>

bool choose_display(Display display, benchmark::State& state) {
    if (display == Display::SOFTWARE) {
        use_dummy_drivers(true);
        return true;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (display == Display::SOFTWARE_WINDOW)
        setenv("SDL_RENDER_DRIVER", "software", 1);
    else
        unsetenv("SDL_RENDER_DRIVER");
    unsetenv("SDL_VIDEODRIVER");
    if (std::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("no display (make bench runs one)");
        return false;
    }
    return true;
}
