// A check for the Windows test programs, which run under Wine without a test framework: a failed
// check prints where and why and counts; the program's exit status is the count's verdict.
#pragma once

#include <cstdio>

namespace wine_test {
inline int failures = 0;
}

#define CHECK(condition, ...)                                                \
    do {                                                                     \
        if (!(condition)) {                                                  \
            ++::wine_test::failures;                                         \
            std::printf("FAIL %s:%d: %s: ", __FILE__, __LINE__, #condition); \
            std::printf(__VA_ARGS__);                                        \
            std::printf("\n");                                               \
        }                                                                    \
    } while (0)
