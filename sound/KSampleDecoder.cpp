#include "KSampleDecoder.h"

#include "KModule.h"
#include "KTrace.h"

#include <SDL.h>
#include <sndfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr int kOutputRate = 44100;
constexpr int kOutputChannels = 2;
constexpr int kOutputFrameBytes = 4;  // 16-bit stereo
constexpr int kMaxChannels = 8;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
// Source frames read at a time.
constexpr int kBlockFrames = 4096;

constexpr uint16_t kWavPcm = 1;
constexpr uint16_t kWavFloat = 3;
constexpr uint16_t kWavALaw = 6;
constexpr uint16_t kWavMuLaw = 7;
constexpr uint16_t kWavExtensible = 0xFFFE;

uint32_t LittleEndian(std::string_view bytes, size_t at, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

struct WavFormat {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t align = 0;
    uint16_t bits = 0;
};

// Bits per sample and block alignment as the format needs them; false when
// they disagree, for the formats whose layout is fixed.
bool LayoutAgrees(const WavFormat& format)
{
    const uint32_t frameBytes = uint32_t{format.channels} * format.bits / 8;
    switch (format.tag) {
    case kWavPcm:
    case kWavExtensible:
        return (format.bits == 8 || format.bits == 16 || format.bits == 24 || format.bits == 32) &&
               format.align == frameBytes;
    case kWavFloat: return (format.bits == 32 || format.bits == 64) && format.align == frameBytes;
    case kWavALaw:
    case kWavMuLaw: return format.bits == 8 && format.align == format.channels;
    default:
        // Compressed formats: blocks of at least a byte a channel.
        return format.bits <= 32 && format.align >= format.channels;
    }
}

std::string CheckFormat(const WavFormat& format)
{
    if (format.channels < 1 || format.channels > kMaxChannels) {
        return "a WAV file of " + std::to_string(format.channels) + " channels";
    }
    if (format.rate < kMinRate || format.rate > kMaxRate) {
        return "a WAV file of " + std::to_string(format.rate) + " frames a second";
    }
    if (!LayoutAgrees(format)) {
        return "a WAV file whose samples of " + std::to_string(format.bits) + " bits do not fit its blocks of " +
               std::to_string(format.align) + " bytes";
    }
    return {};
}

// libsndfile reads the bytes in memory through these.
struct MemoryFile {
    const std::string* bytes = nullptr;
    sf_count_t at = 0;
};

sf_count_t MemoryLength(void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes->size()); }

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user)
{
    auto* memory = static_cast<MemoryFile*>(user);
    const sf_count_t size = static_cast<sf_count_t>(memory->bytes->size());
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = memory->at;
    if (whence == SEEK_END) base = size;
    memory->at = std::clamp<sf_count_t>(base + offset, 0, size);
    return memory->at;
}

sf_count_t MemoryRead(void* into, sf_count_t count, void* user)
{
    auto* memory = static_cast<MemoryFile*>(user);
    const sf_count_t size = static_cast<sf_count_t>(memory->bytes->size());
    const sf_count_t taken = std::clamp<sf_count_t>(size - memory->at, 0, std::max<sf_count_t>(count, 0));
    std::memcpy(into, memory->bytes->data() + memory->at, static_cast<size_t>(taken));
    memory->at += taken;
    return taken;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t MemoryTell(void* user) { return static_cast<MemoryFile*>(user)->at; }

SF_VIRTUAL_IO gMemoryIo{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};

// libvorbisfile reads the same bytes through these.
size_t VorbisRead(void* into, size_t size, size_t count, void* user)
{
    if (size == 0) return 0;
    return static_cast<size_t>(MemoryRead(into, static_cast<sf_count_t>(size * count), user)) / size;
}

int VorbisSeek(void* user, ogg_int64_t offset, int whence)
{
    MemorySeek(offset, whence, user);
    return 0;
}

long VorbisTell(void* user) { return static_cast<long>(MemoryTell(user)); }

const ov_callbacks kVorbisCallbacks{VorbisRead, VorbisSeek, nullptr, VorbisTell};

bool IsOggFile(std::string_view bytes) { return bytes.size() >= 4 && bytes.compare(0, 4, "OggS") == 0; }

}  // namespace

KPcmBytes::KPcmBytes(KPcmBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0))
{
}

KPcmBytes& KPcmBytes::operator=(KPcmBytes&& other) noexcept
{
    if (this != &other) {
        Clear();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
    }
    return *this;
}

KPcmBytes::~KPcmBytes() { Clear(); }

void KPcmBytes::Clear()
{
    std::free(data_);
    data_ = nullptr;
    size_ = capacity_ = 0;
}

void KPcmBytes::Reserve(size_t bytes)
{
    if (bytes <= capacity_) return;
    void* grown = std::realloc(data_, bytes);
    if (grown == nullptr) return;
    data_ = static_cast<uint8_t*>(grown);
    capacity_ = bytes;
}

uint8_t* KPcmBytes::Extend(size_t bytes)
{
    if (size_ + bytes > capacity_) Reserve(std::max(size_ + bytes, capacity_ + capacity_ / 2 + 65536));
    if (size_ + bytes > capacity_) return nullptr;
    uint8_t* at = data_ + size_;
    size_ += bytes;
    return at;
}

void KPcmBytes::Resize(size_t bytes) { size_ = std::min(size_, bytes); }

bool KIsWavFile(std::string_view bytes)
{
    return bytes.size() >= 12 && bytes.compare(0, 4, "RIFF") == 0 && bytes.compare(8, 4, "WAVE") == 0;
}

bool KWavHeaderIsSound(std::string_view bytes, std::string& why)
{
    if (!KIsWavFile(bytes)) return true;
    bool haveFormat = false;
    bool haveData = false;
    WavFormat format;
    for (size_t at = 12; at + 8 <= bytes.size() && !(haveFormat && haveData);) {
        const std::string_view id = bytes.substr(at, 4);
        const uint64_t length = LittleEndian(bytes, at + 4, 4);
        const size_t body = at + 8;
        if (id == "fmt " && !haveFormat) {
            if (length < 16 || body + 16 > bytes.size()) {
                why = "a WAV file whose format chunk is cut short";
                return false;
            }
            format.tag = static_cast<uint16_t>(LittleEndian(bytes, body, 2));
            format.channels = static_cast<uint16_t>(LittleEndian(bytes, body + 2, 2));
            format.rate = LittleEndian(bytes, body + 4, 4);
            format.align = static_cast<uint16_t>(LittleEndian(bytes, body + 12, 2));
            format.bits = static_cast<uint16_t>(LittleEndian(bytes, body + 14, 2));
            haveFormat = true;
        } else if (id == "data") {
            haveData = true;
        }
        at = static_cast<size_t>(std::min<uint64_t>(body + length + (length & 1), bytes.size()));
    }
    if (!haveFormat || !haveData) {
        why = haveFormat ? "a WAV file without samples" : "a WAV file without a format chunk";
        return false;
    }
    why = CheckFormat(format);
    return why.empty();
}

struct KSampleDecoder::Source {
    MemoryFile memory;
    SNDFILE* file = nullptr;
    // Ogg Vorbis goes through libvorbisfile: libsndfile's Ogg reader keeps
    // memory from every file it fails to open.
    OggVorbis_File vorbis{};
    bool vorbisOpen = false;
    int channels = 0;
    KModulePtr module;
    SDL_AudioStream* stream = nullptr;
    std::vector<int16_t> block;

    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    ~Source()
    {
        if (file != nullptr) sf_close(file);
        if (vorbisOpen) ov_clear(&vorbis);
        if (stream != nullptr) SDL_FreeAudioStream(stream);
    }

    // Source frames into block; 0 at the end, -1 when decoding fails.
    int64_t Read()
    {
        if (vorbisOpen) {
            block.resize(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(channels));
            const int bytes = static_cast<int>(block.size() * sizeof(int16_t));
            int section = 0;
            const long got = ov_read(&vorbis, reinterpret_cast<char*>(block.data()), bytes, 0, 2, 1, &section);
            // A chained stream may change its channels: not a sample of ours.
            const vorbis_info* info = ov_info(&vorbis, -1);
            if (got < 0 || info == nullptr || info->channels != channels) return -1;
            return got / (channels * static_cast<long>(sizeof(int16_t)));
        }
        if (file != nullptr) {
            block.resize(static_cast<size_t>(kBlockFrames) * static_cast<size_t>(channels));
            return sf_readf_short(file, block.data(), kBlockFrames);
        }
        block.resize(static_cast<size_t>(kBlockFrames) * kOutputChannels);
        return KRenderModule(module.get(), kBlockFrames, block.data());
    }
};

KSampleDecoder::KSampleDecoder(std::string bytes, double maxSeconds, size_t maxOutputBytes)
    : bytes_(std::move(bytes)), maxOutputBytes_(maxOutputBytes)
{
    std::string why;
    if (!KWavHeaderIsSound(bytes_, why)) {
        Refuse(why);
        return;
    }
    // A MIDI file is music for the synthesiser, not a recording.
    if (bytes_.compare(0, 4, "MThd") == 0) {
        Refuse("a MIDI file is no sample");
        return;
    }
    auto source = std::make_unique<Source>();
    source->memory.bytes = &bytes_;
    SF_INFO info{};
    if (IsOggFile(bytes_)) {
        if (ov_open_callbacks(&source->memory, &source->vorbis, nullptr, 0, kVorbisCallbacks) != 0) {
            Refuse("not an Ogg Vorbis file");
            return;
        }
        source->vorbisOpen = true;
        const vorbis_info* vorbis = ov_info(&source->vorbis, -1);
        info.channels = vorbis == nullptr ? 0 : vorbis->channels;
        info.samplerate = vorbis == nullptr ? 0 : static_cast<int>(vorbis->rate);
        const ogg_int64_t frames = ov_pcm_total(&source->vorbis, -1);
        info.frames = frames > 0 ? frames : 0;
    } else {
        source->file = sf_open_virtual(&gMemoryIo, SFM_READ, &info, &source->memory);
    }
    if (source->file != nullptr || source->vorbisOpen) {
        if (info.channels < 1 || info.channels > kMaxChannels || info.samplerate < kMinRate ||
            info.samplerate > kMaxRate) {
            Refuse("a sound of " + std::to_string(info.channels) + " channels at " + std::to_string(info.samplerate) +
                   " frames a second");
            return;
        }
        if (source->file != nullptr) sf_command(source->file, SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);
        source->channels = info.channels;
        source->stream = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(info.channels), info.samplerate,
                                            AUDIO_S16SYS, kOutputChannels, kOutputRate);
        if (source->stream == nullptr) {
            Refuse(std::string("no converter: ") + SDL_GetError());
            return;
        }
        maxSourceFrames_ = static_cast<int64_t>(maxSeconds * info.samplerate);
        // Room for what the header announces, when that is within the
        // limits: the samples then grow without being copied again.
        if (info.frames > 0 && info.frames <= maxSourceFrames_) {
            const double expected = static_cast<double>(info.frames) * kOutputRate / info.samplerate + kBlockFrames;
            output_.Reserve(std::min(static_cast<size_t>(expected) * kOutputFrameBytes, maxOutputBytes_));
        }
    } else {
        // Modules render at the mix rate in stereo, and are played once
        // here: one whose orders loop for ever still stops at the length limit.
        source->module = KOpenModule(bytes_, false, why);
        if (source->module == nullptr) {
            KTRACE("Not a sound file: %s\n", why.c_str());
            Refuse("not a sound file");
            return;
        }
        source->channels = kOutputChannels;
        maxSourceFrames_ = static_cast<int64_t>(maxSeconds * kOutputRate);
    }
    source_ = std::move(source);
}

KSampleDecoder::~KSampleDecoder() = default;

bool KSampleDecoder::Refuse(std::string why)
{
    why_ = std::move(why);
    status_ = Status::Refused;
    source_.reset();
    output_.Clear();
    return false;
}

bool KSampleDecoder::TakeConverted()
{
    const int available = SDL_AudioStreamAvailable(source_->stream);
    if (available <= 0) return true;
    const size_t at = output_.Size();
    if (at + static_cast<size_t>(available) > maxOutputBytes_) return Refuse("more sound than there is room for");
    uint8_t* into = output_.Extend(static_cast<size_t>(available));
    if (into == nullptr) return Refuse("no memory for the sound");
    const int got = SDL_AudioStreamGet(source_->stream, into, available);
    output_.Resize(at + static_cast<size_t>(std::max(got, 0)));
    return true;
}

KSampleDecoder::Status KSampleDecoder::Step(int64_t frames)
{
    if (status_ != Status::More) return status_;
    const size_t wanted = output_.Size() + static_cast<size_t>(std::max<int64_t>(frames, 1)) * kOutputFrameBytes;
    while (output_.Size() < wanted) {
        const int64_t got = source_->Read();
        if (got < 0) {
            Refuse("the sound cannot be decoded");
            return status_;
        }
        if (got == 0) {
            if (source_->stream != nullptr) {
                SDL_AudioStreamFlush(source_->stream);
                if (!TakeConverted()) return status_;
            }
            source_.reset();
            status_ = Status::Done;
            return status_;
        }
        sourceFrames_ += got;
        if (sourceFrames_ > maxSourceFrames_) {
            Refuse("longer than the longest sample");
            return status_;
        }
        const size_t bytes = static_cast<size_t>(got) * static_cast<size_t>(source_->channels) * sizeof(int16_t);
        if (source_->stream == nullptr) {
            uint8_t* into = output_.Size() + bytes > maxOutputBytes_ ? nullptr : output_.Extend(bytes);
            if (into == nullptr) {
                Refuse("more sound than there is room for");
                return status_;
            }
            std::memcpy(into, source_->block.data(), bytes);
        } else if (SDL_AudioStreamPut(source_->stream, source_->block.data(), static_cast<int>(bytes)) != 0 ||
                   !TakeConverted()) {
            if (status_ != Status::Refused) Refuse("the sound cannot be converted");
            return status_;
        }
    }
    return status_;
}
