// Corvane's DLL chaining the test plug-ins the way a vehicle author sets them up: copies of the
// DLLs in a scratch folder, a detailmodules.txt beside Corvane, and the host's calls made through
// the exports. Checks what reached each chained plug-in, that a DLL of the other word size and the
// other bad lines are skipped without a report, and the version error with its code page 932 text.
// Usage: chain_wine_test.exe CORVANE_DLL PLUGIN_FOLDER OTHER_WORD_SIZE_DLL WORK_FOLDER
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "interface/host_interface.h"
#include "tests/wine/wine_check.h"

namespace fs = std::filesystem;

namespace {

using wine_test::failures;

using Lines = std::vector<std::string>;

std::vector<std::string> signalled;

LONG CALLBACK recordError(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != 0xE0435256UL) return EXCEPTION_CONTINUE_SEARCH;
    if (info->ExceptionRecord->NumberParameters >= 1)
        signalled.push_back(reinterpret_cast<const char*>(info->ExceptionRecord->ExceptionInformation[0]));
    return EXCEPTION_CONTINUE_EXECUTION;
}

struct Corvane {
    HMODULE module = nullptr;
    void(PLUGIN_CALL* load)() = nullptr;
    void(PLUGIN_CALL* dispose)() = nullptr;
    int32_t(PLUGIN_CALL* getPluginVersion)() = nullptr;
    void(PLUGIN_CALL* setVehicleSpec)(host::VehicleSpec) = nullptr;
    void(PLUGIN_CALL* initialize)(int32_t) = nullptr;
    host::Handles(PLUGIN_CALL* elapse)(host::VehicleState, int32_t*, int32_t*) = nullptr;
    void(PLUGIN_CALL* setPower)(int32_t) = nullptr;
    void(PLUGIN_CALL* setBrake)(int32_t) = nullptr;
    void(PLUGIN_CALL* setReverser)(int32_t) = nullptr;
    void(PLUGIN_CALL* keyDown)(int32_t) = nullptr;
    void(PLUGIN_CALL* keyUp)(int32_t) = nullptr;
    void(PLUGIN_CALL* hornBlow)(int32_t) = nullptr;
    void(PLUGIN_CALL* doorOpen)() = nullptr;
    void(PLUGIN_CALL* doorClose)() = nullptr;
    void(PLUGIN_CALL* setSignal)(int32_t) = nullptr;
    void(PLUGIN_CALL* setBeaconData)(host::BeaconData) = nullptr;
};

template <class Entry>
void bind(HMODULE module, Entry& entry, const char* name) {
    entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    CHECK(entry != nullptr, "Corvane has no %s", name);
}

bool open(Corvane& c, const fs::path& dll) {
    c.module = LoadLibraryW(dll.c_str());
    CHECK(c.module != nullptr, "LoadLibraryW of the Corvane copy failed with %lu", GetLastError());
    if (!c.module) return false;
    bind(c.module, c.load, "Load");
    bind(c.module, c.dispose, "Dispose");
    bind(c.module, c.getPluginVersion, "GetPluginVersion");
    bind(c.module, c.setVehicleSpec, "SetVehicleSpec");
    bind(c.module, c.initialize, "Initialize");
    bind(c.module, c.elapse, "Elapse");
    bind(c.module, c.setPower, "SetPower");
    bind(c.module, c.setBrake, "SetBrake");
    bind(c.module, c.setReverser, "SetReverser");
    bind(c.module, c.keyDown, "KeyDown");
    bind(c.module, c.keyUp, "KeyUp");
    bind(c.module, c.hornBlow, "HornBlow");
    bind(c.module, c.doorOpen, "DoorOpen");
    bind(c.module, c.doorClose, "DoorClose");
    bind(c.module, c.setSignal, "SetSignal");
    bind(c.module, c.setBeaconData, "SetBeaconData");
    return failures == 0;
}

// Deletes a folder tree however deep it is (the long-path form reaches past 260 characters).
void removeTree(const std::wstring& folder) {
    const std::wstring base = L"\\\\?\\" + folder;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((base + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(folder + L"\\" + name);
            } else {
                DeleteFileW((base + L"\\" + name).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(base.c_str());
}

void copyFile(const fs::path& from, const fs::path& to) {
    CHECK(CopyFileW(from.c_str(), to.c_str(), FALSE), "cannot copy %s", from.string().c_str());
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string utf8(const fs::path& path) {
    const std::wstring& wide = path.native();
    int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string narrow(const std::wstring& wide) {
    int size =
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

// A copy of a test plug-in with its configuration; it logs into the given file.
void install(const fs::path& built, const fs::path& target, const std::string& name, const fs::path& log,
             const std::string& settings = "") {
    fs::create_directories(target.parent_path());
    copyFile(built, target);
    writeFile(target.native() + L".cfg", "name=" + name + "\nlog=" + utf8(log) + "\n" + settings);
}

// The logged calls since the last look.
Lines takeLog(const fs::path& log) {
    Lines lines;
    {
        std::ifstream in(log);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    std::error_code ignored;
    fs::remove(log, ignored);
    return lines;
}

void expectLog(const fs::path& log, const Lines& expected, int line) {
    const Lines actual = takeLog(log);
    if (actual == expected) return;
    ++failures;
    std::printf("FAIL %s:%d: calls differ\n  got:\n", __FILE__, line);
    for (const std::string& s : actual) std::printf("    %s\n", s.c_str());
    std::printf("  expected:\n");
    for (const std::string& s : expected) std::printf("    %s\n", s.c_str());
}
#define EXPECT_LOG(log, ...) expectLog(log, Lines __VA_ARGS__, __LINE__)

bool mentions(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// The host's calls through Corvane reach a pipeline of chained plug-ins intact; every line that
// names no loadable DLL of this word size is skipped silently.
void chainScenario(const fs::path& corvaneDll, const fs::path& plugins, const fs::path& otherWordSize,
                   const fs::path& work) {
    const fs::path dir = work / "chain";
    const fs::path log = work / "chain.log";
    fs::create_directories(dir);
    copyFile(corvaneDll, dir / "Corvane.dll");
    install(plugins / "recording.dll", dir / "rec.dll", "A", log, "mode=offset\npower=1\npanel=42:99\n");
    install(plugins / "partial.dll", dir / "sub" / "p.dll", "P", log);
    const fs::path absolute = work / "elsewhere" / "b.dll";
    install(plugins / "recording.dll", absolute, "B", log);
    copyFile(plugins / "empty.dll", dir / "empty.dll");
    CHECK(fs::exists(otherWordSize), "the DLL of the other word size was not built: %s", utf8(otherWordSize).c_str());
    copyFile(otherWordSize, dir / "other.dll");
    fs::create_directories(dir / "folder.dll");
    writeFile(dir / "notes.dll", "not a library\r\n");
    std::string list = "\xEF\xBB\xBF";
    list += "Corvane.dll\r\n";  // itself
    list += "other.dll\r\n";    // the other word size
    list += "\r\n";             // the folder itself
    list += "missing.dll\r\n";
    list += std::string(1000, 'x') + ".dll\r\n";  // longer than a path may be
    list += std::string(40000, 'y') + "\r\n";
    list += "folder.dll\r\n";  // a directory
    list += "notes.dll\r\n";   // not a library
    list += "empty.dll\r\n";   // no entry points: not a plug-in, let go at once
    list += "rec.dll\r\n";
    list += "sub/p.dll\r\n";
    list += utf8(absolute) + "\r\n";
    writeFile(dir / "detailmodules.txt", list);

    Corvane c;
    if (!open(c, dir / "Corvane.dll")) return;
    signalled.clear();
    c.load();
    for (const std::string& message : signalled) {
        std::printf("Load signalled: %s\n", message.c_str());
        CHECK(!mentions(message, ".dll"), "a chained line was reported");
    }
    EXPECT_LOG(log, {"A Load", "B Load"});
    CHECK(c.getPluginVersion() == host::PluginInterfaceVersion, "GetPluginVersion");
    EXPECT_LOG(log, {"A GetPluginVersion", "B GetPluginVersion"});
    c.setVehicleSpec(host::VehicleSpec{8, 2, 3, 4, 10});
    c.initialize(1);
    EXPECT_LOG(log, {"A SetVehicleSpec 8 2 3 4 10", "B SetVehicleSpec 8 2 3 4 10", "A Initialize 1", "B Initialize 1"});

    c.setPower(2);
    c.setBrake(3);
    c.setReverser(1);
    EXPECT_LOG(log, {});
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    host::VehicleState state{};
    state.location = 12.5;
    state.speed = 3.5f;
    state.time = 1000;
    state.bcPressure = 100.0f;
    state.mrPressure = 800.0f;
    state.erPressure = 480.0f;
    state.bpPressure = 490.0f;
    state.sapPressure = 20.0f;
    state.current = -4.5f;
    c.elapse(state, panel, sound);
    const char* elapseA = "A Elapse 1000 12.500 3.50 100.0 800.0 480.0 490.0 20.0 -4.5";
    const char* elapseB = "B Elapse 1000 12.500 3.50 100.0 800.0 480.0 490.0 20.0 -4.5";
    EXPECT_LOG(log, {"A SetPower 2", "A SetBrake 3", "A SetReverser 1", elapseA, "P SetPower 2", "P SetBrake 3",
                     "B SetPower 2", "B SetBrake 3", "B SetReverser 1", elapseB});
    CHECK(panel[42] == 1, "Corvane's lamp wins over the chained plug-in's: %d", panel[42]);
    state.time = 1020;
    c.elapse(state, panel, sound);
    // A adds one notch; the plug-in without Elapse passes on what A returned.
    EXPECT_LOG(log, {"A Elapse 1020 12.500 3.50 100.0 800.0 480.0 490.0 20.0 -4.5", "P SetPower 3", "B SetPower 3",
                     "B Elapse 1020 12.500 3.50 100.0 800.0 480.0 490.0 20.0 -4.5"});

    c.keyDown(5);
    c.keyUp(5);
    c.hornBlow(1);
    c.doorOpen();
    c.doorClose();
    c.setSignal(4);
    c.setBeaconData(host::BeaconData{7, 3, 0.5f, -20});
    EXPECT_LOG(
        log, {"A KeyDown 5", "P KeyDown 5", "B KeyDown 5", "A KeyUp 5", "B KeyUp 5", "A HornBlow 1", "B HornBlow 1",
              "A DoorOpen", "P DoorOpen", "B DoorOpen", "A DoorClose", "B DoorClose", "A SetSignal 4", "B SetSignal 4",
              "A SetBeaconData 7 3 0.50 -20", "P SetBeaconData 7 3 0.50 -20", "B SetBeaconData 7 3 0.50 -20"});
    c.dispose();
    EXPECT_LOG(log, {"A Dispose", "P Dispose", "B Dispose"});
    CHECK(GetModuleHandleW((dir / "rec.dll").c_str()) == nullptr, "rec.dll still loaded after Dispose");
    CHECK(GetModuleHandleW(absolute.c_str()) == nullptr, "b.dll still loaded after Dispose");
    FreeLibrary(c.module);
    CHECK(!fs::exists(dir / "other.dll.log"), "the DLL of the other word size ran");
}

// Libraries that are no plug-ins (none of the entry points: a test DLL without exports and the
// system's version.dll), listed before a plug-in: they are let go at once, and the plug-in behind
// them receives every later handle change of the driver.
void notAPluginScenario(const fs::path& corvaneDll, const fs::path& plugins, const fs::path& work) {
    const fs::path dir = work / "not-a-plugin";
    const fs::path log = work / "not-a-plugin.log";
    fs::create_directories(dir);
    copyFile(corvaneDll, dir / "Corvane.dll");
    copyFile(plugins / "empty.dll", dir / "empty.dll");
    install(plugins / "recording.dll", dir / "rec.dll", "A", log);
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    const fs::path versionDll = fs::path(std::wstring(system, length)) / "version.dll";
    writeFile(dir / "detailmodules.txt", "empty.dll\r\n" + utf8(versionDll) + "\r\nrec.dll\r\n");

    Corvane c;
    if (!open(c, dir / "Corvane.dll")) return;
    c.load();
    EXPECT_LOG(log, {"A Load"});
    CHECK(GetModuleHandleW((dir / "empty.dll").c_str()) == nullptr, "empty.dll stays loaded");
    int32_t panel[256] = {};
    int32_t sound[256] = {};
    host::VehicleState state{};
    state.time = 1000;
    c.setReverser(1);
    c.elapse(state, panel, sound);
    takeLog(log);
    c.setPower(5);
    state.time = 1020;
    c.elapse(state, panel, sound);
    c.setPower(0);
    c.setBrake(9);
    state.time = 1040;
    c.elapse(state, panel, sound);
    const Lines calls = takeLog(log);
    Lines handles;
    for (const std::string& call : calls)
        if (call.find("Elapse") == std::string::npos) handles.push_back(call);
    CHECK((handles == Lines{"A SetPower 5", "A SetPower 0", "A SetBrake 9"}), "the driver's handles: %u calls",
          static_cast<unsigned>(handles.size()));
    for (const std::string& call : handles) std::printf("  %s\n", call.c_str());
    c.dispose();
    EXPECT_LOG(log, {"A Dispose"});
    FreeLibrary(c.module);
}

// A chained plug-in of another interface version ends GetPluginVersion with the error signal:
// its full path, however deep, followed by the fixed text in code page 932.
void versionScenario(const fs::path& corvaneDll, const fs::path& plugins, const fs::path& work) {
    const fs::path dir = work / "version";
    const fs::path log = work / "version.log";
    fs::create_directories(dir);
    copyFile(corvaneDll, dir / "Corvane.dll");
    install(plugins / "recording.dll", dir / "rec.dll", "A", log);
    install(plugins / "recording.dll", dir / "c.dll", "C", log);
    // Deeper than the 260 characters of a fixed path buffer.
    fs::path deep = work / "deep";
    while (deep.native().size() < 300) deep /= L"a-rather-long-folder-name";
    const fs::path old = deep / "old.dll";
    install(plugins / "old_version.dll", old, "O", log);
    writeFile(dir / "detailmodules.txt", "rec.dll\n" + utf8(old) + "\nc.dll\n");

    Corvane c;
    if (!open(c, dir / "Corvane.dll")) return;
    signalled.clear();
    c.load();
    EXPECT_LOG(log, {"A Load", "O Load", "C Load"});
    signalled.clear();
    c.getPluginVersion();
    EXPECT_LOG(log, {"A GetPluginVersion", "O GetPluginVersion"});
    CHECK(signalled.size() == 1, "%u errors signalled", static_cast<unsigned>(signalled.size()));
    if (signalled.size() == 1) {
        HMODULE oldModule = GetModuleHandleW(old.c_str());
        wchar_t name[32768];
        DWORD length = GetModuleFileNameW(oldModule, name, 32768);
        const std::string expected = narrow(std::wstring(name, length)) +
                                     "\x82\xcc\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93\x82\xaa\x95\x73\x90\xb3\x82\xc5"
                                     "\x82\xb7\x81\x42";
        CHECK(length > 0 && signalled[0] == expected, "message \"%s\", expected \"%s\"", signalled[0].c_str(),
              expected.c_str());
    }
    c.dispose();
    EXPECT_LOG(log, {"A Dispose", "O Dispose", "C Dispose"});
    FreeLibrary(c.module);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::printf("usage: chain_wine_test CORVANE_DLL PLUGIN_FOLDER OTHER_WORD_SIZE_DLL WORK_FOLDER\n");
        return 2;
    }
    AddVectoredExceptionHandler(1, recordError);
    const fs::path work = fs::absolute(argv[4]);
    removeTree(work.native());
    fs::create_directories(work);
    try {
        chainScenario(argv[1], argv[2], argv[3], work);
        versionScenario(argv[1], argv[2], work);
        notAPluginScenario(argv[1], argv[2], work);
    } catch (const std::exception& error) {
        std::printf("FAIL: %s\n", error.what());
        ++failures;
    }
    std::printf("chaining: %d failure(s)\n", failures);
    return failures ? 1 : 0;
}
