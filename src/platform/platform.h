// What every layer shares: the SDL handles, the exit status and the scene contract's two
// globals, which loaders far below the scenes write as well.
#pragma once

#include <cstdint>

struct SDL_Window;
struct SDL_Renderer;

using Scene = void (*)();

// The scene to run next; null asks for the end of the program.
extern Scene STATE;
// 1 asks the running scene to return at the top of its next frame.
extern uint8_t CHANGE_STATE;

extern SDL_Window* WINDOW;
extern SDL_Renderer* RENDERER;
extern uint32_t AUDIO_DEVICE_ID; // 0 when no device could be opened: the game runs silent

// What the program returns: 1 once anything it cannot run without has failed.
extern int EXIT_STATUS;

constexpr const char* WINDOW_CAPTION = "Queltivar Nosperida Ku";
constexpr int32_t WINDOW_WIDTH = 1152;
constexpr int32_t WINDOW_HEIGHT = 648;
