#include "KMidiScan.h"

#include <algorithm>

namespace {

constexpr size_t kHeaderBytes = 14;
constexpr size_t kChunkHeaderBytes = 8;

uint32_t BigEndian32(std::string_view bytes, size_t at)
{
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

// Reads the bytes of one track.
class TrackReader {
public:
    explicit TrackReader(std::string_view track) : track_(track) {}
    bool AtEnd() const { return at_ >= track_.size(); }
    bool Byte(uint8_t& value)
    {
        if (AtEnd()) return false;
        value = static_cast<uint8_t>(track_[at_++]);
        return true;
    }
    // A variable-length number of at most four bytes.
    bool Number(uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t byte = 0;
            if (!Byte(byte)) return false;
            value = value << 7 | (byte & 0x7Fu);
            if ((byte & 0x80u) == 0) return true;
        }
        return false;
    }
    bool Skip(uint32_t count)
    {
        if (count > track_.size() - at_) return false;
        at_ += count;
        return true;
    }

private:
    std::string_view track_;
    size_t at_ = 0;
};

// Data bytes after a channel status byte.
int DataBytes(uint8_t status) { return (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2; }

void ScanTrack(std::string_view track, KMidiFacts& facts)
{
    TrackReader reader(track);
    uint8_t running = 0;
    int64_t tick = 0;
    int64_t run = 0;
    int64_t longestRun = 0;
    while (!reader.AtEnd()) {
        uint32_t delta = 0;
        uint8_t status = 0;
        if (!reader.Number(delta) || !reader.Byte(status)) break;
        tick += delta;
        if (delta != 0) run = 0;
        if (status == 0xFF) {
            uint8_t type = 0;
            uint32_t length = 0;
            if (!reader.Byte(type) || !reader.Number(length) || !reader.Skip(length)) break;
            if (type == 0x2F) break;  // end of track
            continue;
        }
        bool whole = true;
        if (status == 0xF0 || status == 0xF7) {
            uint32_t length = 0;
            whole = reader.Number(length) && reader.Skip(length);
        } else {
            int data = DataBytes(status);
            if (status < 0x80) {
                // Running status: this byte is the first data byte.
                if (running == 0) break;
                --data;
                status = running;
            }
            running = status;
            whole = reader.Skip(static_cast<uint32_t>(data));
        }
        if (!whole) break;
        ++facts.events;
        facts.longestTick = std::max(facts.longestTick, tick);
        longestRun = std::max(longestRun, ++run);
    }
    facts.burst += longestRun;
}

}  // namespace

KMidiFacts KScanMidi(std::string_view bytes)
{
    KMidiFacts facts;
    if (bytes.size() < kHeaderBytes || bytes.compare(0, 4, "MThd") != 0 || BigEndian32(bytes, 4) < 6) return facts;
    size_t at = 8 + BigEndian32(bytes, 4);
    while (at <= bytes.size() && bytes.size() - at >= kChunkHeaderBytes) {
        const uint32_t length = BigEndian32(bytes, at + 4);
        const size_t body = at + kChunkHeaderBytes;
        const size_t taken = std::min<size_t>(length, bytes.size() - body);
        if (bytes.compare(at, 4, "MTrk") == 0) {
            ScanTrack(bytes.substr(body, taken), facts);
            facts.valid = true;
        }
        at = body + taken;
    }
    return facts;
}
