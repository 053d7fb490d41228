#pragma once

// One harness per parser. Built with clang and libFuzzer (the fuzz preset),
// FUZZ_TARGET is libFuzzer's entry point and each harness is a program of its
// own; built with g++ (every other preset), the harnesses register under their
// names in one replay program that ctest runs over the kept inputs.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

namespace raid::fuzz {

using Input = std::span<const std::uint8_t>;
using Harness = void (*)(Input);

// Registers a harness of the replay program; returns true so that it can
// initialise a static.
bool Register(const char* name, Harness harness);

inline std::string_view AsText(Input input) {
    return {reinterpret_cast<const char*>(input.data()), input.size()};
}

// A property that must hold whatever the input: when it does not, the run
// ends, so libFuzzer keeps the input and the replay fails.
[[noreturn]] inline void CheckFailed(const char* file, int line, const char* condition) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

}  // namespace raid::fuzz

#define FUZZ_CHECK(condition)                                          \
    do {                                                               \
        if (!(condition)) {                                            \
            ::raid::fuzz::CheckFailed(__FILE__, __LINE__, #condition); \
        }                                                              \
    } while (0)

#ifdef RAIDGUI_LIBFUZZER
#define FUZZ_TARGET(name)                                                               \
    static void FuzzOne(::raid::fuzz::Input input);                                     \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) { \
        FuzzOne(::raid::fuzz::Input(data, size));                                       \
        return 0;                                                                       \
    }                                                                                   \
    static void FuzzOne(::raid::fuzz::Input input)
#else
#define FUZZ_TARGET(name)                                  \
    static void FuzzOne_##name(::raid::fuzz::Input input); \
    [[maybe_unused]] static const bool registered_##name = \
        ::raid::fuzz::Register(#name, &FuzzOne_##name);    \
    static void FuzzOne_##name(::raid::fuzz::Input input)
#endif
