// The audio callback runs on SDL's audio thread, where an allocation or a free can wait on a
// lock the game thread holds and be heard as a glitch: it must make none, whatever is queued.
#include "sound/mixer.h"
#include "sound/sound.h"

#include <gtest/gtest.h>

#ifdef __SANITIZE_ADDRESS__
#define HEAP_HOOKS 1
#if __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#else // gcc's libasan has the hooks without always shipping their header
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));
#endif

namespace {
thread_local bool counting = false;
size_t allocations = 0, frees = 0;

// Allocations and frees made on this thread while `action` runs.
template <class Action>
std::pair<size_t, size_t> heap_calls(Action action) {
    allocations = frees = 0;
    counting = true;
    action();
    counting = false;
    return {allocations, frees};
}
} // namespace
#endif

TEST(AudioPath, TheCallbackNeverAllocatesOrFreesWhileMusicAndEffectsComeAndGo) {
#ifndef HEAP_HOOKS
    GTEST_SKIP() << "no sanitizer allocator hooks in this build";
#else
    static const bool installed = __sanitizer_install_malloc_and_free_hooks(
        [](const volatile void*, size_t) { allocations += counting; },
        [](const volatile void*) { frees += counting; });
    if (!installed) GTEST_SKIP() << "the sanitizer refused another pair of allocator hooks";
    const Sound music = load_wav(QUELTIVAR_SOURCE_DIR "/assets/title.wav");
    ASSERT_GT(music.samples.size(), size_t{MIXER_INITIAL_SAMPLES});
    std::vector<Sound> effects;
    for (const SoundEffect& e : SOUND_EFFECTS)
        effects.push_back(e.generator(e.duration, e.frequency));
    std::vector<uint8_t> stream(1 << 17);
    const auto drain = [&](int len) {
        EXPECT_EQ(heap_calls([&] { send_audio(nullptr, stream.data(), len); }),
                  std::make_pair(size_t{0}, size_t{0}))
            << "a callback of " << len << " bytes";
    };

    reset_mixer(); // as at start-up: the first queue makes the ring
    drain(4096);   // nothing queued at all
    EXPECT_GE(heap_calls([&] { queue_sound(effects[0]); }).first, 1u) << "the counter counts";
    for (int len : {1, 1470, 4095, 2 * 40000}) drain(len); // the last runs the queue dry
    queue_sound(effects[1]);
    drain(735);
    const auto [grown, freed] = heap_calls([&] { queue_sound(music); }); // with samples queued
    EXPECT_GE(grown, 1u) << "the bigger ring";
    EXPECT_GE(freed, 1u) << "the old ring";
    const int lengths[] = {1470, 4096, 8191, 3, 1 << 17};
    for (size_t i = 0; !mixer_drained(); ++i) {
        queue_sound(effects[i % effects.size()]);
        drain(lengths[i % std::size(lengths)]);
    }
    drain(2048); // and dry again

    reset_mixer();
#endif
}
