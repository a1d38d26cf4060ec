// The program's spine: start-up, the scene loop and shutdown.
#pragma once

// The scene contract's globals, and the handles start_up makes.
#include "shell/platform.h"

// SDL, the audio device, the window and the renderer; false, reported, when one fails.
bool start_up();
// Runs scenes from STATE until one asks for the end.
void run_scenes();
// Takes down the font and whatever start_up made.
void shut_down();
// Start-up, the font, the scene loop from `title`, shutdown; returns the exit status.
int run_game();
