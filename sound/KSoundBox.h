#pragma once
// The runner's sound box: songs, streams and samples. For now it keeps only
// the list of loaded sample names, which a world load empties.

#include <string>
#include <vector>

class KSoundBox {
public:
    void ForgetSamples() { samples_.clear(); }
    const std::vector<std::string>& Samples() const { return samples_; }

private:
    std::vector<std::string> samples_;
};
