// Renders the title music from its note text to a 44100 Hz mono 16-bit WAV, all in integers.
#include "tool.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int RATE = 44100;
constexpr int STEPS_PER_BAR = 16;    // a step is a sixteenth note
constexpr int MAX_STEPS = 16 * 1000; // guards the sums; the real limit is MAX_SECONDS
constexpr int MAX_EVENTS = 65536;    // per voice and section, however the groups repeat
constexpr int64_t MAX_SECONDS = 600;
// The loudest sample of the mix, in tenths of a dB below full scale, unless the source says.
constexpr int DEFAULT_HEADROOM = 35;
constexpr int MAX_HEADROOM = 400;

enum Voice { LEAD, HARMONY, BASS, KICK, SNARE, HAT, VOICE_COUNT };
constexpr std::array<std::string_view, VOICE_COUNT> VOICE_NAMES = {"lead", "harmony", "bass",
                                                                   "kick", "snare",   "hat"};
constexpr bool is_drum(int voice) {
    return voice >= KICK;
}

constexpr int REST = -1;
constexpr int BAR_CHECK = -2; // a '|' in the text: must fall on a bar line
enum Hit { HIT_NONE, HIT_SOFT, HIT_ACCENT, HIT_OPEN };

struct Event {
    int value; // semitones above C0 for notes, a Hit for drums, REST or BAR_CHECK
    int steps;
};

struct Section {
    std::string name;
    std::array<std::vector<Event>, VOICE_COUNT> voices;
    std::array<int, VOICE_COUNT> duration; // the last length given, kept from line to line
    int steps;
};

struct Song {
    int tempo = 0; // quarter notes per minute
    // Percent, relative to each other, by voice.
    std::array<int, VOICE_COUNT> volume = {30, 12, 34, 40, 26, 12};
    int headroom = DEFAULT_HEADROOM; // tenths of a dB
    std::vector<Section> sections;
    std::vector<int> order; // indices into sections, in playing order
};

// Frequencies of octave 4 in millihertz, C to B; other octaves are shifts of these.
constexpr std::array<uint64_t, 12> OCTAVE_4_MILLIHERTZ = {
    261626, 277183, 293665, 311127, 329628, 349228, 369994, 391995, 415305, 440000, 466164, 493883};

// Phase increment per sample of a 32-bit phase accumulator.
uint32_t phase_increment(int pitch) {
    const uint64_t base = (OCTAVE_4_MILLIHERTZ[pitch % 12] << 32) / (uint64_t{RATE} * 1000);
    const int octave = pitch / 12;
    return static_cast<uint32_t>(octave >= 4 ? base << (octave - 4) : base >> (4 - octave));
}

int parse_count(std::string_view text, int line, int low, int high, std::string_view what) {
    int value = 0;
    bool valid = !text.empty();
    for (const char c : text) {
        valid = valid && c >= '0' && c <= '9' && value <= high;
        if (valid) value = value * 10 + (c - '0');
    }
    if (!valid || value < low || value > high)
        throw ToolError{line, std::string(what) + " '" + std::string(text) +
                                  "' is not a number from " + std::to_string(low) + " to " +
                                  std::to_string(high)};
    return value;
}

// A note is a letter A-G, an optional '#' or 'b' and an octave 0-8; 'r' is a rest.
int parse_pitch(std::string_view text, int line) {
    if (text == "r") return REST;
    constexpr std::string_view LETTERS = "CDEFGAB";
    constexpr std::array<int, 7> SEMITONES = {0, 2, 4, 5, 7, 9, 11};
    const size_t letter = text.empty() ? std::string_view::npos : LETTERS.find(text[0]);
    if (letter == std::string_view::npos)
        throw ToolError{line, "'" + std::string(text) + "' is not a note (like F#4) or r"};
    int semitone = SEMITONES[letter];
    size_t at = 1;
    if (at < text.size() && (text[at] == '#' || text[at] == 'b')) {
        semitone += text[at] == '#' ? 1 : -1;
        ++at;
    }
    const int octave = parse_count(text.substr(at), line, 0, 8, "octave of " + std::string(text));
    const int pitch = octave * 12 + semitone;
    if (pitch < 0 || pitch > 8 * 12 + 11)
        throw ToolError{line, "note " + std::string(text) + " is out of range"};
    return pitch;
}

struct Cursor {
    std::string_view text;
    size_t at;
    int line;
    int duration; // the last length given; later notes keep it
};

std::vector<Event> parse_sequence(Cursor& cursor, bool drum, int depth);

void parse_group(Cursor& cursor, bool drum, int depth, std::vector<Event>& events) {
    ++cursor.at;
    const std::vector<Event> inner = parse_sequence(cursor, drum, depth + 1);
    if (cursor.at >= cursor.text.size() || cursor.text[cursor.at] != ')')
        throw ToolError{cursor.line, "'(' without its ')'"};
    ++cursor.at;
    if (cursor.at >= cursor.text.size() || cursor.text[cursor.at] != '*')
        throw ToolError{cursor.line, "a group needs a repeat count, like (...)*4"};
    const size_t start = ++cursor.at;
    while (cursor.at < cursor.text.size() && cursor.text[cursor.at] >= '0' &&
           cursor.text[cursor.at] <= '9')
        ++cursor.at;
    const int times =
        parse_count(cursor.text.substr(start, cursor.at - start), cursor.line, 1, 64, "repeat");
    if (events.size() + inner.size() * times > MAX_EVENTS)
        throw ToolError{cursor.line, "the repeats make too many notes"};
    for (int i = 0; i < times; ++i) events.insert(events.end(), inner.begin(), inner.end());
}

void parse_word(Cursor& cursor, bool drum, std::vector<Event>& events) {
    const size_t start = cursor.at;
    while (cursor.at < cursor.text.size() &&
           std::string_view(" \t()|").find(cursor.text[cursor.at]) == std::string_view::npos)
        ++cursor.at;
    const std::string_view word = cursor.text.substr(start, cursor.at - start);
    if (drum) {
        for (const char c : word) {
            const size_t hit = std::string_view(".xXo").find(c);
            if (hit == std::string_view::npos)
                throw ToolError{cursor.line, std::string("drum step '") + c +
                                                 "' is not . (rest), x (hit), X (accent) or o "
                                                 "(open)"};
            events.push_back({static_cast<int>(hit), 1});
        }
        return;
    }
    const size_t colon = word.find(':');
    const int pitch = parse_pitch(word.substr(0, colon), cursor.line);
    if (colon != std::string_view::npos)
        cursor.duration = parse_count(word.substr(colon + 1), cursor.line, 1, 64,
                                      "duration of " + std::string(word));
    events.push_back({pitch, cursor.duration});
}

std::vector<Event> parse_sequence(Cursor& cursor, bool drum, int depth) {
    std::vector<Event> events;
    while (cursor.at < cursor.text.size()) {
        const char c = cursor.text[cursor.at];
        if (c == ' ' || c == '\t') {
            ++cursor.at;
        } else if (c == '(') {
            if (depth == 4) throw ToolError{cursor.line, "groups nested too deep"};
            parse_group(cursor, drum, depth, events);
        } else if (c == ')') {
            if (depth == 0) throw ToolError{cursor.line, "')' without its '('"};
            return events;
        } else if (c == '|') {
            events.push_back({BAR_CHECK, 0});
            ++cursor.at;
        } else {
            parse_word(cursor, drum, events);
        }
    }
    return events;
}

int voice_index(std::string_view name) {
    for (int v = 0; v < VOICE_COUNT; ++v)
        if (VOICE_NAMES[v] == name) return v;
    return -1;
}

int section_index(const Song& song, std::string_view name) {
    for (size_t i = 0; i < song.sections.size(); ++i)
        if (song.sections[i].name == name) return static_cast<int>(i);
    return -1;
}

// Every voice written in a section must fill it to the same length, in whole bars at each '|'.
void close_section(Section& section, int line) {
    section.steps = -1;
    for (int v = 0; v < VOICE_COUNT; ++v) {
        if (section.voices[v].empty()) continue;
        int steps = 0;
        for (const Event& event : section.voices[v]) {
            if (event.value == BAR_CHECK && steps % STEPS_PER_BAR != 0)
                throw ToolError{line, "section " + section.name + ": a '|' of " +
                                          std::string(VOICE_NAMES[v]) + " falls at step " +
                                          std::to_string(steps) + ", not on a bar line"};
            steps += event.steps;
        }
        if (section.steps >= 0 && steps != section.steps)
            throw ToolError{line, "section " + section.name + ": " + std::string(VOICE_NAMES[v]) +
                                      " lasts " + std::to_string(steps) + " steps, other voices " +
                                      std::to_string(section.steps)};
        section.steps = steps;
    }
    if (section.steps <= 0) throw ToolError{line, "section " + section.name + " is empty"};
}

// A '#' that begins a word starts a comment; one after a note letter is a sharp.
std::string strip_comment(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '#' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\t'))
            return text.substr(0, i);
    return text;
}

// A line of the source without its comment: the first word, and the words after it, also
// as the text they stand in.
struct SourceLine {
    int number;
    std::string keyword;
    std::string rest;
    std::vector<std::string> args;
};

// What has been read so far: the song, the section still open, the steps the song plays.
struct Reading {
    Song song;
    Section* open = nullptr;
    int total_steps = 0;
};

// None for a line that is blank once its comment is gone.
std::optional<SourceLine> split_line(std::string text, int number) {
    text = strip_comment(text);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::istringstream words(text);
    SourceLine line{number, {}, {}, {}};
    if (!(words >> line.keyword)) return std::nullopt;
    std::getline(words, line.rest);
    std::istringstream args(line.rest);
    for (std::string word; args >> word;) line.args.push_back(word);
    return line;
}

// Inside a section: a voice's notes, or its end.
void read_section_line(Reading& reading, const SourceLine& line) {
    Section& section = *reading.open;
    if (line.keyword == "end" && line.args.empty()) {
        close_section(section, line.number);
        reading.open = nullptr;
        return;
    }
    const int voice = voice_index(line.keyword);
    if (voice < 0)
        throw ToolError{line.number, "'" + line.keyword +
                                         "' is not a voice (lead, harmony, bass, kick, snare, "
                                         "hat) nor end"};
    Cursor cursor{line.rest, 0, line.number, section.duration[voice]};
    const std::vector<Event> events = parse_sequence(cursor, is_drum(voice), 0);
    if (events.empty()) throw ToolError{line.number, "voice line without notes"};
    section.duration[voice] = cursor.duration;
    auto& target = section.voices[voice];
    target.insert(target.end(), events.begin(), events.end());
}

// The order of play: sections by name, each repeated as its `*N` says.
void read_order(Reading& reading, const SourceLine& line) {
    Song& song = reading.song;
    for (const std::string& item : line.args) {
        const size_t star = item.find('*');
        const int index = section_index(song, item.substr(0, star));
        if (index < 0)
            throw ToolError{line.number, "section " + item.substr(0, star) + " is not defined"};
        const int times = star == std::string::npos
                              ? 1
                              : parse_count(item.substr(star + 1), line.number, 1, 64, "repeat");
        for (int i = 0; i < times; ++i) {
            song.order.push_back(index);
            reading.total_steps += song.sections[index].steps;
        }
    }
}

// Outside a section: the tempo, a voice's volume, a section's start, or the order of play.
void read_song_setting(Reading& reading, const SourceLine& line) {
    Song& song = reading.song;
    const std::vector<std::string>& arg = line.args;
    if (line.keyword == "tempo" && arg.size() == 1) {
        song.tempo = parse_count(arg[0], line.number, 60, 240, "tempo");
    } else if (line.keyword == "volume" && arg.size() == 2) {
        const int voice = voice_index(arg[0]);
        if (voice < 0) throw ToolError{line.number, "'" + arg[0] + "' is not a voice"};
        song.volume[voice] = parse_count(arg[1], line.number, 0, 100, "volume");
    } else if (line.keyword == "headroom" && arg.size() == 1) {
        // Decibels with at most one decimal: 9 or 9.5.
        const size_t dot = arg[0].find('.');
        const bool tenth = dot != std::string::npos && dot + 2 == arg[0].size();
        const std::string whole = tenth ? arg[0].substr(0, dot) : arg[0];
        song.headroom =
            parse_count(whole, line.number, 0, MAX_HEADROOM / 10, "headroom") * 10 +
            (tenth ? parse_count(arg[0].substr(dot + 1), line.number, 0, 9, "headroom") : 0);
    } else if (line.keyword == "section" && arg.size() == 1) {
        if (section_index(song, arg[0]) >= 0)
            throw ToolError{line.number, "section " + arg[0] + " is defined twice"};
        Section section{arg[0], {}, {}, 0};
        section.duration.fill(1);
        song.sections.push_back(section);
        reading.open = &song.sections.back();
    } else if (line.keyword == "song" && !arg.empty()) {
        read_order(reading, line);
    } else {
        throw ToolError{line.number, "expected tempo N, volume VOICE N, headroom DB, section "
                                     "NAME or song NAME..., found '" +
                                         line.keyword + "'"};
    }
}

// What the whole file must give, `last` its last line.
void check_song(const Reading& reading, int last) {
    const Song& song = reading.song;
    if (reading.open) throw ToolError{last, "section " + reading.open->name + " has no end"};
    if (song.tempo == 0) throw ToolError{last, "no tempo given"};
    if (song.order.empty()) throw ToolError{last, "no song line: nothing to play"};
    if (int64_t{reading.total_steps} * (RATE * 60 / (song.tempo * 4)) > MAX_SECONDS * RATE)
        throw ToolError{last, "the song lasts over " + std::to_string(MAX_SECONDS) + " s"};
}

Song parse_song(std::istream& in) {
    Reading reading;
    int number = 0;
    for (std::string text; std::getline(in, text);) {
        const std::optional<SourceLine> line = split_line(text, ++number);
        if (!line) continue;
        if (reading.open)
            read_section_line(reading, *line);
        else
            read_song_setting(reading, *line);
        if (reading.total_steps > MAX_STEPS) throw ToolError{number, "the song is too long"};
    }
    check_song(reading, number);
    return reading.song;
}

// Deterministic white noise, so the file is the same on every build.
struct Noise {
    uint32_t state = 0x2545f491;
    int32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<int32_t>(state >> 16) - 32768;
    }
};

// Triangle of a 32-bit phase, -32768 to 32767.
int32_t triangle(uint32_t phase) {
    const int32_t t = static_cast<int32_t>(phase >> 16);
    return t < 32768 ? 2 * t - 32768 : 98303 - 2 * t;
}

// Parabolic sine of a 32-bit phase, within about 6 percent of the true curve.
int32_t soft_sine(uint32_t phase) {
    const int64_t p = static_cast<int64_t>(phase >> 16) - 32768;
    const int64_t y = (4 * p * (32768 - (p < 0 ? -p : p))) >> 15;
    return static_cast<int32_t>(y > 32767 ? 32767 : y);
}

constexpr int64_t ONE = int64_t{1} << 30; // unity gain of the envelopes

// Shortens the last `fade` samples of a span to silence, so notes end without a click.
int64_t tail_gain(int i, int length, int fade) {
    return i < length - fade ? ONE : ONE * (length - i) / fade;
}

void render_lead(std::vector<int64_t>& out, size_t start, int length, int pitch) {
    const uint32_t increment = phase_increment(pitch);
    const uint32_t lfo_increment = static_cast<uint32_t>((uint64_t{55} << 32) / (RATE * 10));
    constexpr int ATTACK = 88;
    constexpr int DECAY = 6615;
    constexpr int VIBRATO_DELAY = 6615;
    uint32_t phase = 0;
    uint32_t lfo = 0;
    int64_t smooth = 0;
    for (int i = 0; i < length && start + i < out.size(); ++i) {
        int64_t gain = i < ATTACK  ? ONE * i / ATTACK
                       : i < DECAY ? ONE - (ONE * 45 / 100) * i / DECAY
                                   : ONE * 55 / 100;
        gain = gain * tail_gain(i, length, 441) / ONE;
        const int64_t depth = i < VIBRATO_DELAY ? 0 : std::min<int64_t>(i - VIBRATO_DELAY, 6615);
        const int64_t bend = (int64_t{increment >> 7} * triangle(lfo) >> 15) * depth / 6615;
        phase += static_cast<uint32_t>(increment + bend);
        lfo += lfo_increment;
        // A quarter-duty pulse whose levels average to zero.
        const int64_t wave = phase < 0x40000000u ? 3 * 10923 : -10923;
        smooth += (wave - smooth) / 2; // tames the aliasing of the hard edges
        out[start + i] += smooth * gain / ONE;
    }
}

void render_harmony(std::vector<int64_t>& out, size_t start, int length, int pitch) {
    const uint32_t increment = phase_increment(pitch);
    uint32_t phase = 0;
    int64_t decay = ONE;
    int64_t smooth = 0;
    for (int i = 0; i < length && start + i < out.size(); ++i) {
        const int64_t gain = (i < 44 ? ONE * i / 44 : decay) * tail_gain(i, length, 88) / ONE;
        decay -= decay >> 11;
        phase += increment;
        smooth += ((phase < 0x80000000u ? 16384 : -16384) - smooth) / 2;
        out[start + i] += smooth * gain / ONE;
    }
}

void render_bass(std::vector<int64_t>& out, size_t start, int length, int pitch) {
    const uint32_t increment = phase_increment(pitch);
    uint32_t phase = 0;
    int64_t excess = ONE;
    int64_t smooth = 0;
    for (int i = 0; i < length && start + i < out.size(); ++i) {
        const int64_t level = ONE * 6 / 10 + excess * 4 / 10;
        const int64_t gain = (i < 44 ? level * i / 44 : level) * tail_gain(i, length, 220) / ONE;
        excess -= excess >> 13;
        phase += increment;
        // Mostly triangle, with a little filtered square for bite on small speakers.
        const int64_t raw = triangle(phase) * 3 / 4 + (phase < 0x80000000u ? 8192 : -8192);
        smooth += (raw - smooth) >> 2;
        out[start + i] += smooth * gain / ONE;
    }
}

void render_drum(std::vector<int64_t>& out, size_t start, int voice, Hit hit, Noise& noise) {
    const int64_t strength = hit == HIT_SOFT     ? ONE * 7 / 10
                             : hit == HIT_ACCENT ? ONE
                                                 : ONE * 8 / 10;
    const int longer = hit == HIT_OPEN ? 2 : 0;
    const int length = voice == HAT ? (hit == HIT_OPEN ? 11025 : 2646) : 13230;
    int64_t body = strength;
    int64_t tone = ONE;
    uint32_t phase = 0;
    int32_t previous = 0;
    for (int i = 0; i < length && start + i < out.size(); ++i) {
        const int64_t gain = body * tail_gain(i, length, 441) / ONE;
        int64_t sample = 0;
        if (voice == KICK) {
            // The pitch falls from about 180 Hz to 49 Hz in a few milliseconds.
            phase += phase_increment(19) + static_cast<uint32_t>(tone * 13000000 / ONE);
            sample = soft_sine(phase);
            body -= body >> (12 + longer);
            tone -= tone >> 9;
        } else if (voice == SNARE) {
            phase += phase_increment(42);
            sample = noise.next() * 3 / 4 + triangle(phase) * tone / ONE / 2;
            body -= body >> (11 + longer);
            tone -= tone >> 10;
        } else {
            const int32_t white = noise.next();
            sample = (white - previous) / 2; // the difference keeps only the hiss
            previous = white;
            body -= body >> (9 + longer);
        }
        out[start + i] += sample * gain / ONE;
    }
}

std::vector<int16_t> render(const Song& song) {
    const int step_samples = RATE * 60 / (song.tempo * 4);
    size_t total = 0;
    for (const int index : song.order) total += size_t(song.sections[index].steps) * step_samples;
    std::vector<int64_t> mix(total, 0);
    Noise noise;
    for (int v = 0; v < VOICE_COUNT; ++v) {
        std::vector<int64_t> voice(total, 0);
        size_t section_start = 0;
        for (const int index : song.order) {
            const Section& section = song.sections[index];
            size_t at = section_start;
            for (const Event& event : section.voices[v]) {
                const int length = event.steps * step_samples;
                if (event.value >= 0) {
                    if (v == LEAD) render_lead(voice, at, length, event.value);
                    if (v == HARMONY) render_harmony(voice, at, length, event.value);
                    if (v == BASS) render_bass(voice, at, length, event.value);
                    if (is_drum(v) && event.value != HIT_NONE)
                        render_drum(voice, at, v, static_cast<Hit>(event.value), noise);
                }
                at += size_t(length);
            }
            section_start += size_t(section.steps) * step_samples;
        }
        if (v == LEAD) {
            // A dotted-eighth echo gives the lead some room.
            const size_t delay = size_t(3) * step_samples;
            for (size_t i = delay; i < total; ++i) voice[i] += voice[i - delay] * 5 / 16;
        }
        for (size_t i = 0; i < total; ++i) mix[i] += voice[i] * song.volume[v] / 100;
    }
    int64_t smooth = 0;
    int64_t peak = 1;
    for (size_t i = 0; i < total; ++i) {
        smooth += (mix[i] - smooth) * 3 / 4; // takes the sharpest edge off the square waves
        const size_t from_end = total - i;
        const int64_t fade = std::min<int64_t>({int64_t(i), 220, int64_t(from_end) * 220 / 2205});
        mix[i] = smooth * fade / 220;
        peak = std::max(peak, mix[i] < 0 ? -mix[i] : mix[i]);
    }
    const auto loudest =
        static_cast<int64_t>(std::lround(32768 * std::pow(10.0, -song.headroom / 200.0)));
    std::vector<int16_t> samples(total);
    for (size_t i = 0; i < total; ++i)
        samples[i] = static_cast<int16_t>(mix[i] * std::min<int64_t>(loudest, 32767) / peak);
    return samples;
}

std::string wav_file(const std::vector<int16_t>& samples) {
    const auto data_bytes = static_cast<uint32_t>(samples.size() * 2);
    std::string out = wav_header(WavFormat{.rate = RATE, .byte_rate = RATE * 2}, data_bytes);
    for (const int16_t sample : samples) put_le(out, static_cast<uint16_t>(sample), 2);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    return build_tool(argc, argv, "make_music SOURCE.txt OUTPUT.wav",
                      [](std::istream& in) { return wav_file(render(parse_song(in))); });
}
