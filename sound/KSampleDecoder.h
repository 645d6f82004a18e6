#pragma once
// Sound files decoded into samples for the mixer: 16-bit stereo at the mix
// rate, a slice at a time, so a long file is spread over many game ticks.
// What a file's header says about its length is never trusted: the decoder
// counts as it goes and stops at the length and size limits.
//
// WAV, FLAC, Ogg, MP3 and the other formats libsndfile reads go through
// libsndfile (converted by SDL's audio stream); tracker modules through
// libopenmpt, which renders at the mix rate itself. A WAV header is checked
// here before any library sees it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Whether bytes begin a RIFF WAVE file.
bool KIsWavFile(std::string_view bytes);
// For a WAV file: whether its format chunk is one a decoder can take (1 to
// 8 channels, a rate from 1,000 to 384,000 Hz, bits and block alignment that
// agree) and it has a data chunk; why not in why. True for any other file.
bool KWavHeaderIsSound(std::string_view bytes, std::string& why);

// Decoded samples in memory from malloc: grown by realloc, which moves large
// blocks by remapping their pages instead of copying them, so a long sample
// never costs one tick a copy of all it holds so far.
class KPcmBytes {
public:
    KPcmBytes() = default;
    KPcmBytes(KPcmBytes&& other) noexcept;
    KPcmBytes& operator=(KPcmBytes&& other) noexcept;
    ~KPcmBytes();
    KPcmBytes(const KPcmBytes&) = delete;
    KPcmBytes& operator=(const KPcmBytes&) = delete;

    uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    void Reserve(size_t bytes);
    // Room for bytes more at the end, counted in Size(); null when memory runs out.
    uint8_t* Extend(size_t bytes);
    void Resize(size_t bytes);  // only ever smaller
    void Clear();

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

class KSampleDecoder {
public:
    enum class Status : uint8_t { More = 0, Done = 1, Refused = 2 };

    // maxSeconds: the longest sound taken, counted in the file's own frames;
    // maxOutputBytes: the most decoded bytes kept.
    KSampleDecoder(std::string bytes, double maxSeconds, size_t maxOutputBytes);
    ~KSampleDecoder();
    KSampleDecoder(const KSampleDecoder&) = delete;
    KSampleDecoder& operator=(const KSampleDecoder&) = delete;

    // Decodes about frames more frames of output (whole blocks of the
    // source, so a little more); Done once the file is decoded whole.
    Status Step(int64_t frames);
    Status Current() const { return status_; }
    // The samples so far, 16-bit stereo interleaved.
    KPcmBytes& Output() { return output_; }
    const std::string& Why() const { return why_; }
    // Frames of the source read so far.
    int64_t SourceFrames() const { return sourceFrames_; }

private:
    struct Source;
    bool Refuse(std::string why);
    bool TakeConverted();

    std::string bytes_;
    std::unique_ptr<Source> source_;
    KPcmBytes output_;
    Status status_ = Status::More;
    std::string why_;
    int64_t sourceFrames_ = 0;
    int64_t maxSourceFrames_ = 0;
    size_t maxOutputBytes_ = 0;
};
