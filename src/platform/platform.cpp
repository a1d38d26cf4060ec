// The shared handles and globals, defined once.
#include "platform/platform.h"

Scene STATE = nullptr;
uint8_t CHANGE_STATE = 0;
SDL_Window* WINDOW = nullptr;
SDL_Renderer* RENDERER = nullptr;
uint32_t AUDIO_DEVICE_ID = 0;
int EXIT_STATUS = 0;
