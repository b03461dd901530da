// What cabhost needs of the operating system besides the plug-ins' own platform layer. Only the
// host links these; the plug-ins never call them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {
// Defined by the host: the program's work, called from the platform's program entry
// (platform/<backend>/host_entry.cpp) with the arguments after the program name as UTF-8, in
// reverse order, and the program's own path.
int hostMain(std::vector<std::string> arguments, const Path& argument0);
}  // namespace platform

namespace platform {

// From now on the error signal of a plug-in library is caught: on Windows a handler keeps the
// message of the structured exception and lets the entry point return normally, as a host whose
// handler continues does. The Linux libraries raise nothing (they keep their last error).
void hostCatchErrorSignals();
// The message of the error signal caught since the last call (empty when none); clears it.
std::string hostTakeCaughtError();

// Standard error is a terminal (progress is shown only there).
bool hostStderrIsTerminal();
// Runs a program found on the search path with these arguments, its output discarded; returns
// its exit status, or -1 when it could not be started.
int hostRunProgram(const std::string& program, const std::vector<std::string>& arguments);
// Starts a program (a path, or a name found on the search path) with these arguments, its standard
// output and error written to outputFile and its standard input empty, and returns at once: an id
// for hostWaitProgram, or -1 when it could not be started.
int64_t hostStartProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const Path& outputFile);
// Waits for a program that hostStartProgram started: its exit status, or -1 when it could not run.
int hostWaitProgram(int64_t id);

// The entry is a symbolic link, or on Windows any reparse point (a junction as well), or an entry
// that the system opens somewhere else than in its folder (under Wine a Unix link shows as neither):
// the host removes such an entry itself and never goes through it to what it leads to.
bool hostIsLink(const Path& path);
// Removes the link itself (a link to a folder as well), never its target. False, with the reason
// in error, when it cannot, or when the system gives no way to remove the link alone.
bool hostRemoveLink(const Path& link, std::string& error);
// How many names the file has (more than one: a hard link shares its content with another name);
// 0 when that cannot be read.
uint64_t hostNameCount(const Path& file);
// The library file is loaded in this process now (by the host or by a plug-in it drives).
bool hostLibraryIsLoaded(const Path& library);
// fopen with mode "wb", for a path in any script. Null when it cannot be opened.
std::FILE* hostOpenBinaryFileForWriting(const Path& path);
// From now on an interruption (Ctrl+C, and SIGTERM on Linux) only sets a flag, so that a run can
// stop between frames and clean up; a second one ends the program at once.
void hostCatchInterrupts();
// An interruption came since hostCatchInterrupts.
bool hostInterrupted();
// Waits for this many milliseconds of wall-clock time; returns at once for 0 or less.
void hostSleepMs(int64_t milliseconds);

}  // namespace platform
