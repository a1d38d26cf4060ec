// The title scene. For now a bare loop: black frames, input read, so closing the window quits.
#include "scenes/title.h"

#include "input/input.h"
#include "shell/shell.h"

#include <SDL.h>

void title() {
    while (!CHANGE_STATE) {
        SDL_RenderClear(RENDERER);
        read_input();
        SDL_RenderPresent(RENDERER);
    }
}
