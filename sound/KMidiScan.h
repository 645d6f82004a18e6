#pragma once
// What a standard MIDI file holds, read without playing it: whether it has
// any events to play, and how many of them fall on one instant. A song with
// nothing in it must not be looped (it would restart without end), and
// thousands of notes struck at once would keep the synthesiser busy for
// seconds inside one block of sound.

#include <cstdint>
#include <string_view>

struct KMidiFacts {
    bool valid = false;      // a header and at least one whole track
    int64_t events = 0;      // channel and system-exclusive events
    int64_t longestTick = 0; // the last event's tick in the longest track
    // The most events any instant can hold: the longest run of events one
    // after another with no time between them, added over the tracks.
    int64_t burst = 0;
};

KMidiFacts KScanMidi(std::string_view bytes);
