// How a plug-in library's entry points are called and exported on this platform.
#pragma once

// Calling convention of the host's entry points: standard call on 32-bit Windows, the platform's default elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define PLUGIN_CALL __stdcall
#else
#define PLUGIN_CALL
#endif

// Marks an entry point as exported. Windows builds name their exports in a .def file; the Linux
// builds hide every other symbol.
#ifdef _WIN32
#define PLUGIN_EXPORT
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif
