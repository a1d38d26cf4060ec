// The pause and the end screens are drawn once; a window that was hidden gets them back.
#include "harness.h"

#include "input/input.h"
#include "scenes/play.h"
#include "scenes/title.h"
#include "shell/shell.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {
using Pixels = std::vector<uint32_t>;

Pixels pixels() {
    Pixels out(static_cast<size_t>(WINDOW_WIDTH * WINDOW_HEIGHT));
    if (SDL_RenderReadPixels(RENDERER, nullptr, SDL_PIXELFORMAT_ARGB8888, out.data(),
                             WINDOW_WIDTH * 4) != 0)
        ADD_FAILURE() << SDL_GetError();
    return out;
}

// What a window system leaves when it throws a window's picture away: here, a dark blue.
void lose_picture() {
    uint8_t r, g, b, a;
    SDL_GetRenderDrawColor(RENDERER, &r, &g, &b, &a);
    SDL_SetRenderDrawColor(RENDERER, 0, 0, 90, 255);
    SDL_RenderClear(RENDERER);
    SDL_SetRenderDrawColor(RENDERER, r, g, b, a);
}

void push_window_event(uint8_t what) {
    SDL_Event event = {};
    event.type = SDL_WINDOWEVENT;
    event.window.event = what;
    event.window.windowID = SDL_GetWindowID(WINDOW);
    SDL_PushEvent(&event);
}

// On the reads of a waiting screen: keeps what it shows, then for each event loses the picture
// and sends the event; the next read finds the screen back, or the picture still lost.
void hide_and_show(Pixels& shown, const std::vector<std::pair<uint8_t, bool>>& events) {
    on_read([&shown] { shown = pixels(); });
    const Pixels* screen = &shown;
    for (size_t i = 0; i <= events.size(); i++) {
        on_read([=] {
            if (i > 0) {
                const auto [what, redraws] = events[i - 1];
                const Pixels now = pixels();
                EXPECT_TRUE(redraws ? now == *screen : now != *screen)
                    << "window event " << int(what) << (redraws ? " redraws" : " draws nothing");
            }
            if (i == events.size()) return;
            lose_picture();
            push_window_event(events[i].first);
        });
    }
}

// A frame whose waits must end on the reads queued: one that outlasts them is ended by a quit
// rather than left to hang. The guard stays queued, spent, as the next frame's read.
void play_guarded_frame() {
    auto waiting = std::make_shared<bool>(true);
    on_read([waiting] {
        if (*waiting) push_quit();
    });
    play_frame();
    *waiting = false;
    EXPECT_EQ(pending_reads(), 1u) << "every answer was read";
}

std::string one_command_script() {
    std::string bytes = {1, 0, 0, 0, 0, 1, 0, 0, 0};
    return bytes + std::string(8, '\xff'); // due only once the script has started, and never
}
} // namespace

TEST(HiddenWindow, PauseDefeatAndVictoryComeBackPixelForPixelWhenTheWindowAsksAndOnlyThen) {
    Headless game;
    WorkDir dir;
    STATE = play;
    write_file("assets/map.dat", "");
    write_file("assets/spawner.dat", one_command_script());
    start_play();
    play_frame();

    Pixels paused;
    push_key(SDLK_ESCAPE, true);
    on_read([] {}); // the frame's own read
    on_read([] { push_key(SDLK_ESCAPE, false); });
    hide_and_show(paused, {{SDL_WINDOWEVENT_EXPOSED, true},
                           {SDL_WINDOWEVENT_FOCUS_GAINED, false},
                           {SDL_WINDOWEVENT_SHOWN, true},
                           {SDL_WINDOWEVENT_MOVED, false},
                           {SDL_WINDOWEVENT_RESTORED, true},
                           {SDL_WINDOWEVENT_HIDDEN, false},
                           {SDL_WINDOWEVENT_SIZE_CHANGED, true},
                           {SDL_WINDOWEVENT_MINIMIZED, false},
                           {SDL_WINDOWEVENT_RESIZED, true}});
    on_read([] { push_key(SDLK_ESCAPE, true); });
    on_read([] { push_key(SDLK_ESCAPE, false); });
    play_guarded_frame();
    EXPECT_EQ(STATE, play) << "still playing";
    EXPECT_EQ(read_frame().text(17, 18, 26), "Press ESC again to unpause");

    // The frame after the pause draws as ever over the picture the pause left.
    play_frame();
    Frame after = read_frame();
    EXPECT_EQ(after.text(17, 18, 26), std::string(26, ' ')) << "the message is gone";
    EXPECT_EQ(after.text(1, 1, 8), ">LASER: ");
    EXPECT_TRUE(same_colour(after.at(1, 1), WHITE)) << "the veil is gone";

    // The defeat screen is hidden while the button is up, and again while it is held.
    Pixels defeat;
    GAME.player.integrity = 0;
    on_read([] {});
    hide_and_show(defeat, {{SDL_WINDOWEVENT_EXPOSED, true}});
    on_read([] { push_button(MOUSE_LEFT, true); });
    on_read([] {
        lose_picture();
        push_window_event(SDL_WINDOWEVENT_RESTORED);
    });
    on_read([&defeat] { EXPECT_EQ(pixels(), defeat) << "while the button is held"; });
    on_read([] { push_button(MOUSE_LEFT, false); });
    play_guarded_frame();
    EXPECT_EQ(STATE, title);

    // The victory screen, in a frame of its own: the guard left over is that frame's read.
    STATE = play;
    CHANGE_STATE = 0;
    GAME.player.integrity = SHIPS[PLAYER].integrity;
    GAME.spawner->next = GAME.spawner->count;
    Pixels won;
    hide_and_show(won, {{SDL_WINDOWEVENT_SHOWN, true}});
    on_read([] { push_button(MOUSE_LEFT, true); });
    on_read([] { push_button(MOUSE_LEFT, false); });
    play_guarded_frame();
    EXPECT_EQ(STATE, title);
    EXPECT_NE(defeat, won);
    end_play();
}
