// The operating-system layer: what the operating system gives the plug-ins, as plain functions.
// platform/win32 and platform/posix each implement all of it; the build compiles exactly one. The
// audio layer is platform/audio.h, the calls only the stand-in host makes platform/host.h, the
// hooks only the tests use platform/test_hooks.h.
// Nothing outside platform/ includes a Windows or POSIX header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace platform {

using Path = std::filesystem::path;

// ---- Own module ------------------------------------------------------------------------------

// Defined by the plug-in that links the attach hook: called once when the platform attaches the
// library to the process, with the full file name of the library's own module.
void onLibraryAttach(const Path& moduleFile);

// ---- Paths and text --------------------------------------------------------------------------

#ifdef _WIN32
// The separator that ends a directory path on this platform.
constexpr char32_t PreferredSeparator = U'\\';
// "/" separates path components everywhere; on Windows the backslash does too.
constexpr bool BackslashSeparates = true;
// The most separators that begin a path's root: two for a network path on Windows, one elsewhere.
constexpr size_t MaxRootSeparators = 2;
// The narrow text the host shows is in code page 932 on Windows, UTF-8 elsewhere.
constexpr bool NarrowTextIsCodePage932 = true;
// The longest absolute path, in UTF-16 units, that the Windows file functions open on a machine
// without the long-path setting (MAX_PATH less its terminating NUL); 0 where there is no limit.
constexpr size_t PathLengthLimit = 259;
#else
constexpr char32_t PreferredSeparator = U'/';
constexpr bool BackslashSeparates = false;
constexpr size_t MaxRootSeparators = 1;
constexpr bool NarrowTextIsCodePage932 = false;
constexpr size_t PathLengthLimit = 0;
#endif

// True for a character that separates the components of a path on this platform.
constexpr bool isPathSeparator(Path::value_type c) {
    return c == '/' || (BackslashSeparates && c == '\\');
}

// A path from decoded text. "\" and "/" both separate components on every platform.
Path pathFromText(std::u32string_view text);
// Code points as UTF-8 (values beyond U+10FFFF become U+FFFD).
std::string utf8FromCodePoints(std::u32string_view text);
// The text of a path as UTF-8, for messages and logs.
std::string pathToUtf8(const Path& path);
// dir (which ends with a separator or is empty) joined with a relative or absolute name.
Path joinPath(const Path& dir, std::u32string_view name);
Path joinPath(const Path& dir, std::string_view asciiName);

// ---- Files -----------------------------------------------------------------------------------

// Raised when a file's attributes cannot be read for a reason other than "not there".
class FileSystemError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when something exists at the path. File not found, path not found, bad network path and
// invalid name count as not existing; any other failure throws FileSystemError.
bool exists(const Path& path);
// The file opened for reading bytes; null when it cannot be opened.
std::FILE* openFileForReading(const Path& path);

// ---- Libraries -------------------------------------------------------------------------------

// The libraries this platform's loader takes: Windows DLLs, or the system's own shared objects.
#ifdef _WIN32
constexpr bool LoadsWindowsLibraries = true;
#else
constexpr bool LoadsWindowsLibraries = false;
#endif
using LibraryHandle = void*;

// Null when the library cannot be loaded.
LibraryHandle loadLibrary(const Path& path);
void* findSymbol(LibraryHandle library, const char* name);
void freeLibrary(LibraryHandle library);
// Full file name of a loaded library, as the platform reports it.
Path libraryFileName(LibraryHandle library);
// Full file name in the runtime's narrow character set (the system code page on Windows, UTF-8
// elsewhere), for messages that the host shows as narrow text.
std::string libraryFileNameNarrow(LibraryHandle library);

// ---- Keyboard --------------------------------------------------------------------------------

constexpr int VirtualKeyShift = 0x10;
constexpr int VirtualKeyP = 0x50;

// The high bit of the key's state: the key is down now.
bool isKeyDown(int virtualKey);
// All 256 key states; a key is down when the high bit of its byte is set. False on failure.
bool readKeyboardState(uint8_t state[256]);

// EXT: the injected keyboard (Linux, and the Windows stand-in host): the host and tests say which
// keys are down. The plug-in DLLs read the real keyboard and have none of these.
void setKeyDown(int virtualKey, bool down);
void releaseAllKeys();

// ---- Time and chance -------------------------------------------------------------------------

struct LocalTime {
    int year, month, day, hour, minute, second, millisecond;
};
LocalTime localTime();

// A uniform 32-bit value. Non-deterministic in release builds; test builds made with
// CORVANE_FIXED_RANDOM draw from a fixed sequence so that traces can be compared across builds.
uint32_t randomU32();

// ---- The error signal ------------------------------------------------------------------------

// Application code of the structured exception that carries an error out of an entry point.
constexpr unsigned long ErrorExceptionCode = 0xE0435256UL;

// Leaves an entry point with an error: on Windows a continuable structured exception whose first
// argument is the address of the NUL-terminated message; elsewhere the message goes to standard
// error as one line and is kept for lastError(). Callers destroy their C++ objects first.
void signalError(const char* message);
// The message of the last signalled error (empty when none).
const char* lastError();
void clearLastError();

}  // namespace platform
