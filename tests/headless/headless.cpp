// The game's own start-up with nothing shown or heard.
#include "headless.h"

#include "shell/shell.h"

#include <SDL.h>
#include <cstdlib>

void use_dummy_drivers(bool replace) {
    setenv("SDL_VIDEODRIVER", "dummy", replace);
    setenv("SDL_AUDIODRIVER", "dummy", replace);
    setenv("SDL_RENDER_DRIVER", "software", replace);
}

bool start_headless(bool replace) {
    use_dummy_drivers(replace);
    if (!start_up()) return false;
    if (AUDIO_DEVICE_ID) SDL_CloseAudioDevice(AUDIO_DEVICE_ID);
    AUDIO_DEVICE_ID = 0;
    return true;
}
