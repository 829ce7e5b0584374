#pragma once
// Deterministic mutations of what readers take from the machine: files and
// registry values gone wrong in the ways real ones do (cut short, binary,
// NUL bytes, no final line break, huge lines, broken UTF-8 and UTF-16, text
// that looks like a report placeholder). Every case comes from its seed, so a
// failure names the seed that reproduces it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace veltrane {

class Mutator {
public:
    explicit Mutator(uint64_t seed) : state_(seed) {}

    uint64_t Next();
    // A number in [0, bound); 0 when `bound` is 0.
    size_t Below(size_t bound);
    bool OneIn(size_t n) { return Below(n) == 0; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

    // `sample` with one to three edits.
    std::string Mutate(const std::string& sample);

    // Registry data for a value a reader takes as text: any type, any size,
    // terminated or not.
    struct RegistryData {
        DWORD type = REG_SZ;
        std::vector<BYTE> bytes;
    };
    RegistryData RegistryValue(const std::wstring& sample);

private:
    void Edit(std::string& text);
    std::string Noise(size_t size);

    uint64_t state_;
};

// `rounds` mutations of the samples, with seeds `firstSeed`, `firstSeed` + 1,
// ...; `check` gets the seed and the mutated bytes. Ends at the first seed
// that fails, which the failure names.
template <typename Check>
void ForEachMutation(const std::vector<std::string>& samples, int rounds, uint64_t firstSeed,
                     Check check) {
    for (int round = 0; round < rounds && !testing::Test::HasFailure(); ++round) {
        const uint64_t seed = firstSeed + static_cast<uint64_t>(round);
        SCOPED_TRACE("seed " + std::to_string(seed));
        Mutator mutator(seed);
        const std::string& sample = samples[mutator.Below(samples.size())];
        check(seed, mutator.Mutate(sample));
    }
}

// Writes `data` as value `name` of `key` below HKEY_CURRENT_USER or another root.
void SetRegistryData(HKEY root, const std::wstring& key, const std::wstring& name,
                     const Mutator::RegistryData& data);

}  // namespace veltrane
