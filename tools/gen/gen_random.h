// The generator's random numbers: a fixed algorithm (splitmix64) rather
// than the standard distributions, whose results differ between library
// implementations, so that a seed gives the same unit everywhere.
#pragma once

#include <cstdint>

namespace gen {

class GEN_RANDOM {
public:
    explicit GEN_RANDOM(uint64_t seed)
        : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number in [0, n); n > 0.
    uint32_t below(uint32_t n) { return uint32_t(next() % n); }
    // A number in [lo, hi].
    int range(int lo, int hi) { return lo + int(below(uint32_t(hi - lo + 1))); }
    // True with probability percent / 100.
    bool chance(uint32_t percent) { return below(100) < percent; }

private:
    uint64_t state_;
};

}  // namespace gen
