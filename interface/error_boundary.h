// No C++ exception leaves an entry point. The errors that end one leave as the platform's error
// signal, raised only after every C++ object of the call is gone.
#pragma once

#include <exception>
#include <new>

#include "platform/platform.h"

namespace boundary {

// Runs the work of an entry point; an exception becomes the platform's error signal.
template <class Work>
void guarded(Work&& work) {
    static char message[4096];
    bool failed = false;
    try {
        work();
    } catch (const std::exception& error) {
        const char* text = error.what();
        size_t i = 0;
        for (; text[i] != '\0' && i + 1 < sizeof message; ++i) message[i] = text[i];
        message[i] = '\0';
        failed = true;
    } catch (...) {
        static const char unknown[] = "internal error";
        for (size_t i = 0; i < sizeof unknown; ++i) message[i] = unknown[i];
        failed = true;
    }
    if (failed) platform::signalError(message);
}

// Runs work that has no error path of its own; anything thrown anyway is swallowed so the host survives.
template <class Work>
void quiet(Work&& work) noexcept {
    try {
        work();
    } catch (...) {
    }
}

}  // namespace boundary
