// `cabhost check` on the lines of detailmodules.txt: what keeps a listed library out of the chain
// although its file is there.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

constexpr uint16_t MachineX86 = 0x014C;
constexpr uint16_t MachineX64 = 0x8664;

// What the headers of a Windows library say.
struct LibraryImage {
    bool isPe = false;             // a Portable Executable file
    uint16_t machine = 0;          // the processor it was built for
    bool exportsAnyEntry = false;  // one of the sixteen plug-in functions by its plain name
};

// Reads up to `count` bytes at `offset`; returns how many it read.
using ReadBytesAt = std::function<size_t(uint64_t offset, uint8_t* out, size_t count)>;

// Bounded and safe for any bytes: a file that is not a PE file, or whose headers are broken, is
// simply not a PE file (or exports nothing).
LibraryImage inspectPe(const ReadBytesAt& read, uint64_t fileSize);
LibraryImage inspectPeFile(const platform::Path& path);

// Why a plug-in library of another word size or system did not load, naming the cabhost.exe that
// loads it; empty when its headers do not tell. `host64`: this cabhost is a 64-bit program.
std::string wordSizeAdvice(const LibraryImage& image, bool windowsHost, bool host64);

// One library line of a chain list, as Corvane reads it: its number in the file and its text
// (byte-order mark and line end removed).
struct ChainListLine {
    int number = 0;
    std::string text;
};
enum class ChainList { Missing, Utf16, Read };
// The non-empty lines of the chain list `list`.
ChainList readChainList(const platform::Path& list, std::vector<ChainListLine>& lines);

// The processor of the Corvane.dll in the plug-in folder; a 32-bit one when there is none.
uint16_t corvaneMachine(const platform::Path& pluginDirectory);

// The warnings for one line of the list (its text as read, without the line end), each naming the
// list file and the line. `path` is the library the line names; `exists` whether it is there.
void checkChainedLibrary(const std::string& listName, int lineNumber, const std::string& line,
                         const platform::Path& path, bool exists, uint16_t expectedMachine,
                         std::vector<std::string>& warnings);

}  // namespace cabhost
