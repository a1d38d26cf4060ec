// The game's own start-up with nothing shown or heard.
#pragma once

// SDL's dummy video and audio drivers and its software renderer: over whatever the environment
// names when `replace`, otherwise only where it names none.
void use_dummy_drivers(bool replace);

// start_up on the dummy drivers, then the audio device closed again: the caller plays the audio
// thread's part by calling the callback itself. False when start_up failed.
bool start_headless(bool replace);
