#pragma once

#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one aborts, so that libFuzzer keeps the input as a crash and
// the replay test fails on it.
#define FUZZ_CHECK(condition) ((condition) ? void() : fuzzCheckFailed(#condition, __FILE__, __LINE__))

[[noreturn]] inline void fuzzCheckFailed(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, condition);
    std::abort();
}
