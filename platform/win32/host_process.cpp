// The stand-in host's operating-system calls on Windows.
// clang-format off: windows.h first, the headers after it need its types.
#include <windows.h>
#include <io.h>
#include <mmsystem.h>
// clang-format on

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/host.h"
#include "platform/platform.h"

namespace platform {
namespace {

// The host calls the plug-ins on one thread; the handler runs on the thread that raised.
std::string caughtMessage;

LONG CALLBACK keepErrorSignal(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode != ErrorExceptionCode) return EXCEPTION_CONTINUE_SEARCH;
    const char* message =
        record->NumberParameters >= 1 ? reinterpret_cast<const char*>(record->ExceptionInformation[0]) : nullptr;
    caughtMessage = message && *message ? message : "error signal without a message";
    return EXCEPTION_CONTINUE_EXECUTION;
}

std::wstring wideFromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

// One argument as the runtime's command-line parser reads it back.
std::wstring quoteArgument(const std::wstring& argument) {
    std::wstring q = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        q.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        q += c;
    }
    q.append(backslashes * 2, L'\\');
    return q + L"\"";
}

// The text of a system error code, without its line end.
std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide = length && text ? std::wstring(text, length) : L"";
    if (text) ::LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n' || wide.back() == L' ')) wide.pop_back();
    return wide.empty() ? "system error " + std::to_string(code) : pathToUtf8(Path(wide));
}

// Set from the console's own thread.
std::atomic<bool> interrupted{false};

BOOL WINAPI noteInterrupt(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    // A second Ctrl+C goes on to the default handler, which ends the program at once.
    return interrupted.exchange(true) ? FALSE : TRUE;
}

}  // namespace

void hostCatchErrorSignals() {
    static bool installed = false;
    if (!installed) installed = ::AddVectoredExceptionHandler(1, keepErrorSignal) != nullptr;
}

std::string hostTakeCaughtError() {
    std::string message;
    message.swap(caughtMessage);
    return message;
}

bool hostStderrIsTerminal() {
    return _isatty(2) != 0;
}

int hostRunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    return hostWaitProgram(hostStartProgram(program, arguments, L"NUL"));
}

int64_t hostStartProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const Path& outputFile) {
    std::wstring command = quoteArgument(wideFromUtf8(program));
    for (const std::string& a : arguments) command += L" " + quoteArgument(wideFromUtf8(a));
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE nul = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, nullptr);
    const HANDLE output = ::CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        &inherit, outputFile == Path(L"NUL") ? OPEN_EXISTING : CREATE_ALWAYS, 0,
                                        nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = startup.hStdError = output;
    PROCESS_INFORMATION process{};
    const BOOL started = output != INVALID_HANDLE_VALUE &&
                         ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                          nullptr, &startup, &process);
    if (nul != INVALID_HANDLE_VALUE) ::CloseHandle(nul);
    if (output != INVALID_HANDLE_VALUE) ::CloseHandle(output);
    if (!started) return -1;
    ::CloseHandle(process.hThread);
    return static_cast<int64_t>(reinterpret_cast<intptr_t>(process.hProcess));
}

int hostWaitProgram(int64_t id) {
    if (id == -1) return -1;
    const HANDLE process = reinterpret_cast<HANDLE>(static_cast<intptr_t>(id));
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = 0;
    const BOOL known = ::GetExitCodeProcess(process, &code);
    ::CloseHandle(process);
    return known ? static_cast<int>(code) : -1;
}

namespace {

bool isReparsePoint(const Path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Where the system opens path, without the "\\?\" prefix; empty when it cannot be opened.
std::wstring openedAt(const Path& path) {
    const HANDLE file =
        ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::wstring name(32768, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(file, name.data(), static_cast<DWORD>(name.size()),
                                                     FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    ::CloseHandle(file);
    if (length == 0 || length >= name.size()) return {};
    name.resize(length);
    if (name.rfind(L"\\\\?\\", 0) == 0) name.erase(0, 4);
    return name;
}

// Opened somewhere else than in its own folder: a link that the system does not mark as one.
bool opensElsewhere(const Path& path) {
    std::error_code error;
    const Path full = std::filesystem::absolute(path, error).lexically_normal();
    if (error || !full.has_filename()) return false;
    const std::wstring self = openedAt(full), folder = openedAt(full.parent_path());
    if (self.empty() || folder.empty()) return false;
    const std::wstring expected = folder + (folder.back() == L'\\' ? L"" : L"\\") + full.filename().native();
    return ::CompareStringOrdinal(self.c_str(), -1, expected.c_str(), -1, TRUE) != CSTR_EQUAL;
}

}  // namespace

bool hostIsLink(const Path& path) {
    return isReparsePoint(path) || opensElsewhere(path);
}

uint64_t hostNameCount(const Path& file) {
    const HANDLE handle =
        ::CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION information{};
    const BOOL known = ::GetFileInformationByHandle(handle, &information);
    ::CloseHandle(handle);
    return known ? information.nNumberOfLinks : 0;
}

bool hostRemoveLink(const Path& link, std::string& error) {
    if (!isReparsePoint(link)) {
        // Every removal the system offers would go through this link and remove what it leads to.
        error = "a link that the system does not show as one, so it is left alone: remove it yourself";
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(link.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        ::SetFileAttributesW(link.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    // A link to a folder (a junction too) is removed as a folder: the link goes, its target stays.
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (folder ? ::RemoveDirectoryW(link.c_str()) : ::DeleteFileW(link.c_str())) return true;
    error = systemMessage(::GetLastError()) + " (remove the link yourself)";
    return false;
}

void hostCatchInterrupts() {
    static bool installed = false;
    if (!installed) installed = ::SetConsoleCtrlHandler(noteInterrupt, TRUE) != 0;
}

bool hostInterrupted() {
    return interrupted.load();
}

bool hostLibraryIsLoaded(const Path& library) {
    return ::GetModuleHandleW(library.c_str()) != nullptr;
}

std::FILE* hostOpenBinaryFileForWriting(const Path& path) {
    return _wfopen(path.c_str(), L"wb");
}

void hostSleepMs(int64_t milliseconds) {
    if (milliseconds <= 0) return;
    // Sleeps of whole milliseconds while the host runs, not of the default 15.6 ms clock tick, so a
    // real-time run's frames keep an even pace.
    static const bool fineTimer = ::timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)fineTimer;
    ::Sleep(static_cast<DWORD>(milliseconds > 0x7FFFFFFF ? 0x7FFFFFFF : milliseconds));
}

}  // namespace platform
