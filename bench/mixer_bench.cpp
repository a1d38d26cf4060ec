// The mixer's queue and drain beside a plain queue of one heap node per sample, mixed and
// drained the same way: a second of effects at 60 frames a second, and one pass of the music.
#include "sound/mixer.h"
#include "sound/sound.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {
constexpr int FRAME_SAMPLES = AUDIO_RATE / 60; // what one frame plays: 735 samples
constexpr int EFFECT_FRAMES = 60;
constexpr int MUSIC_CALLBACK_SAMPLES = 2048;

// The reference: every queued sample in a node of its own, allocated when queued and freed
// when played, summed and drained with the mixer's arithmetic.
class NodeQueue {
    struct Node {
        int16_t sample;
        Node* next;
    };
    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    uint32_t count_ = 0;

  public:
    NodeQueue() = default;
    NodeQueue(const NodeQueue&) = delete;
    NodeQueue& operator=(const NodeQueue&) = delete;
    ~NodeQueue() {
        while (head_) {
            Node* next = head_->next;
            delete head_;
            head_ = next;
        }
    }

    void queue(const Sound& sound) {
        const uint32_t n =
            std::min<uint32_t>(sound.length / 2, static_cast<uint32_t>(sound.samples.size()));
        uint32_t i = 0;
        for (Node* node = head_; node && i < n; node = node->next, ++i)
            node->sample = static_cast<int16_t>(std::clamp<int32_t>(
                int32_t{node->sample} + sound.samples[i], INT16_MIN, INT16_MAX));
        for (; i < n; ++i) {
            Node* node = new Node{sound.samples[i], nullptr};
            (tail_ ? tail_->next : head_) = node;
            tail_ = node;
            ++count_;
        }
    }

    void send(uint8_t* stream, int len) {
        for (int position = 0; position + 1 < len; position += 2) {
            int16_t value = 0;
            if (head_) {
                Node* node = head_;
                head_ = node->next;
                if (!head_) tail_ = nullptr;
                --count_;
                value = static_cast<int16_t>(node->sample / 20 *
                                             VOLUME.load(std::memory_order_relaxed));
                delete node;
            }
            const auto bits = static_cast<uint16_t>(value);
            stream[position] = static_cast<uint8_t>(bits & 0xff);
            stream[position + 1] = static_cast<uint8_t>(bits >> 8);
        }
    }

    bool empty() const {
        return count_ == 0;
    }
};

// The game's mixer behind the same two calls.
struct Ring {
    Ring() {
        empty_mixer();
    }
    ~Ring() {
        empty_mixer();
    }
    Ring(const Ring&) = delete;
    Ring& operator=(const Ring&) = delete;
    void queue(const Sound& sound) {
        queue_sound(sound);
    }
    void send(uint8_t* stream, int len) {
        send_audio(nullptr, stream, len);
    }
    bool empty() const {
        return mixer_drained();
    }
};

const std::vector<Sound>& effects() {
    static const std::vector<Sound> sounds = [] {
        std::vector<Sound> out;
        for (const SoundEffect& effect : SOUND_EFFECTS)
            out.push_back(effect.generator(effect.duration, effect.frequency));
        return out;
    }();
    return sounds;
}

const Sound& music() {
    static const Sound sound = load_wav("assets/title.wav");
    return sound;
}

// A frame of the game: one effect queued, a frame of samples drained, for a second; then
// the tail played out so that every queued sample is drained. Output goes to `out`, in order.
template <class Queue>
size_t effects_second(Queue& queue, std::vector<uint8_t>& out) {
    const std::vector<Sound>& sounds = effects();
    size_t written = 0;
    for (int frame = 0; frame < EFFECT_FRAMES || !queue.empty(); ++frame) {
        if (frame < EFFECT_FRAMES) queue.queue(sounds[static_cast<size_t>(frame) % sounds.size()]);
        if (written + 2 * FRAME_SAMPLES > out.size()) out.resize(written + 2 * FRAME_SAMPLES);
        queue.send(out.data() + written, 2 * FRAME_SAMPLES);
        written += 2 * FRAME_SAMPLES;
    }
    return written;
}

// The title music queued once and drained to empty in callbacks of SDL's usual size.
template <class Queue>
size_t music_pass(Queue& queue, std::vector<uint8_t>& out) {
    queue.queue(music());
    size_t written = 0;
    while (!queue.empty()) {
        if (written + 2 * MUSIC_CALLBACK_SAMPLES > out.size())
            out.resize(written + 2 * MUSIC_CALLBACK_SAMPLES);
        queue.send(out.data() + written, 2 * MUSIC_CALLBACK_SAMPLES);
        written += 2 * MUSIC_CALLBACK_SAMPLES;
    }
    return written;
}

enum class Workload { EFFECTS_SECOND, MUSIC_PASS };

template <class Queue>
size_t run(Workload workload, Queue& queue, std::vector<uint8_t>& out) {
    return workload == Workload::EFFECTS_SECOND ? effects_second(queue, out)
                                                : music_pass(queue, out);
}

// Times `Mine`, then proves its last output byte for byte equal to the other queue's.
template <class Mine, class Other>
void mixer(benchmark::State& state, Workload workload) {
    if (workload == Workload::MUSIC_PASS && music().samples.empty()) {
        state.SkipWithError("no assets/title.wav: run from the repository root");
        return;
    }
    std::vector<uint8_t> out, expected;
    size_t expected_length = 0;
    {
        Other other;
        expected_length = run(workload, other, expected);
    }
    size_t length = 0;
    {
        Mine mine;
        run(workload, mine, out); // untimed: the ring grown, the output buffer sized
        for (auto _ : state) {
            length = run(workload, mine, out);
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
    }
    if (length != expected_length ||
        !std::equal(out.begin(), out.begin() + length, expected.begin())) {
        state.SkipWithError("the ring and the node queue wrote different bytes");
        return;
    }
    if (std::all_of(out.begin(), out.begin() + length, [](uint8_t byte) { return byte == 0; })) {
        state.SkipWithError("silent output proves nothing");
        return;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(length));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(length / 2));
}

template <class Mine, class Other>
void add(const char* name, Workload workload) {
    benchmark::RegisterBenchmark(name, mixer<Mine, Other>, workload)->Unit(benchmark::kMicrosecond);
}

// Items are samples drained, bytes the output written.
const bool REGISTERED = [] {
    add<Ring, NodeQueue>("mixer/effects_second/ring", Workload::EFFECTS_SECOND);
    add<NodeQueue, Ring>("mixer/effects_second/node_reference", Workload::EFFECTS_SECOND);
    add<Ring, NodeQueue>("mixer/music_pass/ring", Workload::MUSIC_PASS);
    add<NodeQueue, Ring>("mixer/music_pass/node_reference", Workload::MUSIC_PASS);
    return true;
}();
} // namespace
