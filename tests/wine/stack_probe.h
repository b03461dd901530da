// Calls a 32-bit entry point with raw argument bytes and reports how many bytes the callee removed.
#pragma once

#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
// Copies argBytes (a multiple of 4) from args onto the stack, calls fn, and returns the number of
// argument bytes still on the stack afterwards (0 for a standard-call callee that removed them all);
// the value the callee left in eax goes to *result.
extern "C" uint32_t measureCall(void* fn, const void* args, uint32_t argBytes, uint32_t* result);

inline uint32_t bytesRemovedByCallee(void* fn, const void* args, uint32_t argBytes, uint32_t* result = nullptr) {
    return argBytes - measureCall(fn, args, argBytes, result);
}
#endif
