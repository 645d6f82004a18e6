#include "FuzzModules.h"

#include <cstdint>
#include <iterator>
#include <string_view>

namespace {

constexpr int kRows = 64;
constexpr int kSquareBytes = 32;

class Bytes {
public:
    Bytes& Text(std::string_view text, size_t width)
    {
        std::string field(text.substr(0, width));
        field.resize(width, '\0');
        data_ += field;
        return *this;
    }
    Bytes& Raw(std::string_view bytes)
    {
        data_ += bytes;
        return *this;
    }
    Bytes& Fill(size_t count, uint8_t value = 0)
    {
        data_.append(count, static_cast<char>(value));
        return *this;
    }
    Bytes& U8(unsigned value) { return Fill(1, static_cast<uint8_t>(value)); }
    Bytes& LE(uint32_t value, int width)
    {
        for (int i = 0; i < width; ++i) U8(value >> (8 * i) & 0xFF);
        return *this;
    }
    Bytes& BE(uint32_t value, int width)
    {
        for (int i = width - 1; i >= 0; --i) U8(value >> (8 * i) & 0xFF);
        return *this;
    }
    // The square wave, signed, or unsigned for formats that want it so.
    Bytes& Square(bool isUnsigned = false)
    {
        const uint8_t high = isUnsigned ? 228 : 100;
        const uint8_t low = isUnsigned ? 28 : 156;
        return Fill(kSquareBytes / 2, high).Fill(kSquareBytes / 2, low);
    }
    Bytes& PadTo(size_t size)
    {
        if (data_.size() < size) data_.resize(size, '\0');
        return *this;
    }
    size_t Size() const { return data_.size(); }
    std::string Take() { return std::move(data_); }

private:
    std::string data_;
};

std::string Mod(unsigned instruments, std::string_view signature, unsigned seed)
{
    Bytes b;
    b.Text("fuzz", 20).Text("square", 22).BE(kSquareBytes / 2, 2).U8(0).U8(64).BE(0, 2).BE(kSquareBytes / 2, 2);
    for (unsigned i = 1; i < instruments; ++i) b.Fill(22).BE(0, 2).U8(0).U8(0).BE(0, 2).BE(1, 2);
    b.U8(1).U8(instruments == 15 ? 0x78 : 0x7F).Fill(128).Raw(signature);
    const int channels = signature == "6CHN" ? 6 : 4;
    const unsigned period = 214 + seed % 400;
    for (int row = 0; row < kRows; ++row) {
        for (int channel = 0; channel < channels; ++channel) {
            if (row == 0 && channel == 0) {
                b.U8(period >> 8).U8(period & 0xFF).U8(0x10).U8(0);
            } else if (row == kRows - 1 && channel == 1 && seed % 2 == 0) {
                b.U8(0).U8(0).U8(0x0B).U8(0);  // back to the first order
            } else {
                b.Fill(4);
            }
        }
    }
    return b.Square().Take();
}

std::string S3m(unsigned seed)
{
    constexpr size_t kInstrumentAt = 0x70;
    constexpr size_t kPatternAt = kInstrumentAt + 0x50;
    Bytes pattern;
    for (int row = 0; row < kRows; ++row) {
        if (row == 0) pattern.U8(0x60).U8(0x30 + seed % 0x30).U8(1).U8(64);
        if (row == kRows - 1 && seed % 2 == 0) pattern.U8(0x80).U8(2).U8(0);  // B00: back to the start
        pattern.U8(0);
    }
    const size_t sampleAt = (kPatternAt + 2 + pattern.Size() + 15) / 16 * 16;
    Bytes b;
    b.Text("fuzz", 28).U8(0x1A).U8(16).Fill(2).LE(2, 2).LE(1, 2).LE(1, 2).LE(0, 2).LE(0x1320, 2).LE(2, 2);
    b.Raw("SCRM").U8(64).U8(6).U8(125).U8(0xB0).U8(0).U8(0).Fill(8).LE(0, 2);
    b.U8(0).U8(8).U8(1).U8(9).Fill(28, 255).U8(0).U8(255);
    b.LE(kInstrumentAt / 16, 2).LE(kPatternAt / 16, 2).PadTo(kInstrumentAt);
    b.U8(1).Text("SQUARE.RAW", 12).U8(sampleAt >> 20 & 0xFF).LE(sampleAt >> 4 & 0xFFFF, 2);
    b.LE(kSquareBytes, 4).LE(0, 4).LE(kSquareBytes, 4).U8(64).U8(0).U8(0).U8(1).LE(8363, 4).Fill(12);
    b.Text("square", 28).Raw("SCRS");
    b.LE(static_cast<uint32_t>(pattern.Size() + 2), 2).Raw(pattern.Take()).PadTo(sampleAt);
    return b.Square(true).Take();
}

std::string Xm(unsigned seed)
{
    constexpr int kChannels = 4;
    Bytes packed;
    for (int row = 0; row < kRows; ++row) {
        for (int channel = 0; channel < kChannels; ++channel) {
            if (row == 0 && channel == 0) {
                packed.U8(0x83).U8(25 + seed % 60).U8(1);
            } else if (row == kRows - 1 && channel == 1 && seed % 2 == 0) {
                packed.U8(0x98).U8(0x0B).U8(0);  // back to the first order
            } else {
                packed.U8(0x80);
            }
        }
    }
    Bytes b;
    b.Raw("Extended Module: ").Text("fuzz", 20).U8(0x1A).Text("quav fuzz", 20).LE(0x0104, 2);
    b.LE(276, 4).LE(1, 2).LE(0, 2).LE(kChannels, 2).LE(1, 2).LE(1, 2).LE(1, 2).LE(6, 2).LE(125, 2).Fill(256);
    b.LE(9, 4).U8(0).LE(kRows, 2).LE(static_cast<uint32_t>(packed.Size()), 2).Raw(packed.Take());
    constexpr uint32_t kInstrumentBytes = 4 + 22 + 1 + 2 + 4 + 96 + 48 + 48 + 16 + 2;
    b.LE(kInstrumentBytes, 4).Text("square", 22).U8(0).LE(1, 2).LE(40, 4).Fill(96 + 48 + 48 + 16 + 2);
    // Back and forth (type 2), its bytes stored as differences.
    b.LE(kSquareBytes, 4).LE(0, 4).LE(kSquareBytes, 4).U8(64).U8(0).U8(2).U8(128).U8(0).U8(0).Text("square", 22);
    b.U8(100).Fill(kSquareBytes / 2 - 1).U8(56).Fill(kSquareBytes / 2 - 1);
    return b.Take();
}

std::string It(unsigned seed)
{
    constexpr uint32_t kSampleAt = 0xC0 + 2 + 4 + 4;
    constexpr uint32_t kPatternAt = kSampleAt + 0x50;
    Bytes rows;
    for (int row = 0; row < kRows; ++row) {
        if (row == 0) rows.U8(0x81).U8(0x0B).U8(36 + seed % 60).U8(1).U8(19).U8(0xB0);  // loop start
        if (row == 7) rows.U8(0x81).U8(0x08).U8(19).U8(0xB0 | (1 + seed % 3));          // loop back
        rows.U8(0);
    }
    const uint32_t dataAt = kPatternAt + 8 + static_cast<uint32_t>(rows.Size());
    Bytes b;
    b.Raw("IMPM").Text("fuzz", 26).U8(4).U8(16).LE(2, 2).LE(0, 2).LE(1, 2).LE(1, 2).LE(0x0214, 2).LE(0x0214, 2);
    b.LE(9, 2).LE(0, 2).U8(128).U8(48).U8(6).U8(125).U8(128).U8(0).LE(0, 2).LE(0, 4).LE(0, 4);
    b.Fill(4, 32).Fill(60, 0xA0).Fill(64, 64).U8(0).U8(255).LE(kSampleAt, 4).LE(kPatternAt, 4);
    b.Raw("IMPS").Text("SQUARE.RAW", 12).U8(0).U8(64).U8(0x11).U8(64).Text("square", 26).U8(1).U8(0);
    b.LE(kSquareBytes, 4).LE(0, 4).LE(kSquareBytes, 4).LE(8363, 4).LE(0, 4).LE(0, 4).LE(dataAt, 4).Fill(4);
    b.LE(static_cast<uint32_t>(rows.Size()), 2).LE(kRows, 2).Fill(4).Raw(rows.Take());
    return b.Square().Take();
}

constexpr std::string_view kModSignatures[] = {"M.K.", "M!K!", "FLT4", "6CHN", "FEST"};

}  // namespace

const char* FuzzModuleExtension(unsigned kind)
{
    constexpr const char* kExtensions[] = {".mod", ".mod", ".mod", ".mod", ".mod", ".mod", ".s3m", ".xm", ".it"};
    return kExtensions[kind % kFuzzModuleKinds];
}

std::string FuzzModule(unsigned kind, unsigned seed)
{
    kind %= kFuzzModuleKinds;
    if (kind < std::size(kModSignatures)) return Mod(31, kModSignatures[kind], seed);
    switch (kind) {
    case 5: return Mod(15, "", seed);
    case 6: return S3m(seed);
    case 7: return Xm(seed);
    default: return It(seed);
    }
}
