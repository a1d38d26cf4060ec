// The program's spine: start-up, the scene loop and shutdown.
#pragma once

// The scene contract's globals, and the handles start_up makes.
#include "platform/platform.h"

// SDL, the audio device, the window and the renderer; false, reported, when one fails.
bool start_up();
// Runs scenes from STATE until one asks for the end.
void run_scenes();
// Takes down the font and whatever start_up made.
void shut_down();
// Start-up, then the font and the window's icon: all the game does before its first scene.
// False when start-up failed; a font that failed leaves STATE null instead.
bool start_game();
// start_game, the scene loop from `title`, shutdown; returns the exit status.
int run_game();
