#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

// What every fuzz target shares: libFuzzer's entry point and a check whose
// failure is a finding like a sanitizer's report.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);  // optional

namespace vigilo::fuzz {

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Aborts, so that libFuzzer stops and saves the input that broke `invariant`.
inline void require(bool holds, const char* invariant) {
    if (holds) return;
    std::fprintf(stderr, "fuzz: broken invariant: %s\n", invariant);
    std::abort();
}

}  // namespace vigilo::fuzz
