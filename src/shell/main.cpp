// Entry point: everything happens in run_game.
#include "shell/shell.h"

#include <SDL.h>

int main(int, char**) {
    return run_game();
}
