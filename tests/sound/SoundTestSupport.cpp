#include "SoundTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

bool MakeSoundMedia(const std::string& dir)
{
    return RunCommand("python3 '" + TestToolsDir() + "/make_sound_media.py' '" + dir + "'") == 0;
}

std::vector<int16_t> LeftChannel(const std::string& wavPath, size_t* frames)
{
    const std::string bytes = ReadFileBytes(wavPath);
    constexpr size_t kHeader = 44;
    std::vector<int16_t> left;
    if (bytes.size() < kHeader || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(36, 4, "data") != 0) return left;
    uint32_t dataBytes = 0;
    std::memcpy(&dataBytes, bytes.data() + 40, 4);
    if (dataBytes != bytes.size() - kHeader) return left;
    const size_t count = dataBytes / 4;
    for (size_t i = 0; i < count; ++i) {
        int16_t value = 0;
        std::memcpy(&value, bytes.data() + kHeader + i * 4, 2);
        left.push_back(value);
    }
    if (frames != nullptr) *frames = count;
    return left;
}

int PeakOfTicks(const std::vector<int16_t>& left, int first, int last)
{
    int peak = 0;
    const size_t begin = static_cast<size_t>(first) * kTestFramesPerTick;
    const size_t end = std::min(left.size(), static_cast<size_t>(last) * kTestFramesPerTick);
    for (size_t i = begin; i < end; ++i) peak = std::max(peak, std::abs(int{left[i]}));
    return peak;
}
