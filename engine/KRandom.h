#pragma once
// The game's random numbers: a small seedable generator (PCG32), so that a
// run started with the same seed plays the same way.

#include <cstdint>

class KRandom {
public:
    explicit KRandom(uint64_t seed = 0) { Seed(seed); }

    void Seed(uint64_t seed)
    {
        state_ = 0;
        Step();
        state_ += seed;
        Step();
    }

    // A uniform number in 0 .. n - 1; 0 when n is not positive.
    int32_t Next(int32_t n)
    {
        if (n <= 0) return 0;
        const auto range = static_cast<uint32_t>(n);
        // Drop the values of the incomplete last block so every result is
        // equally likely.
        const uint32_t threshold = (0u - range) % range;
        for (;;) {
            const uint32_t value = Step();
            if (value >= threshold) return static_cast<int32_t>(value % range);
        }
    }

private:
    uint32_t Step()
    {
        const uint64_t old = state_;
        state_ = old * 6364136223846793005ull + kIncrement;
        const auto xorshifted = static_cast<uint32_t>(((old >> 18u) ^ old) >> 27u);
        const auto rotation = static_cast<uint32_t>(old >> 59u);
        return (xorshifted >> rotation) | (xorshifted << ((0u - rotation) & 31u));
    }

    static constexpr uint64_t kIncrement = 1442695040888963407ull;
    uint64_t state_ = 0;
};
