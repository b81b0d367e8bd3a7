// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Random.h"

#include <chrono>
#include <random>

namespace {

std::mt19937_64& Generator() {
    static std::mt19937_64 generator{
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count())};
    return generator;
}

}  // namespace

void RandomizeFromClock() {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    Generator().seed(static_cast<std::uint64_t>(now));
}

void RandomSeed(std::uint64_t seed) {
    Generator().seed(seed);
}

std::int32_t RandomInt(std::int32_t range) {
    if (range < 1) {
        return 0;
    }
    std::uniform_int_distribution<std::int32_t> draw(0, range - 1);
    return draw(Generator());
}

double RandomDouble() {
    std::uniform_real_distribution<double> draw(0.0, 1.0);
    double value = draw(Generator());
    return value < 1.0 ? value : 0.0;
}
