#include "host/chain_check.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "config/text_reader.h"

namespace cabhost {
namespace {

// A DLL with more exported names or sections than these is not looked into further.
constexpr uint32_t MaxNames = 65536;
constexpr uint16_t MaxSections = 96;

const char* const EntryNames[] = {"Load",         "Dispose",  "GetPluginVersion", "SetVehicleSpec", "Initialize",
                                  "Elapse",       "SetPower", "SetBrake",         "SetReverser",    "KeyDown",
                                  "KeyUp",        "HornBlow", "DoorOpen",         "DoorClose",      "SetSignal",
                                  "SetBeaconData"};

struct Reader {
    const ReadBytesAt& read;
    uint64_t size;
    bool u16(uint64_t at, uint16_t& v) const {
        uint8_t b[2];
        if (read(at, b, 2) != 2) return false;
        v = static_cast<uint16_t>(b[0] | (b[1] << 8));
        return true;
    }
    bool u32(uint64_t at, uint32_t& v) const {
        uint8_t b[4];
        if (read(at, b, 4) != 4) return false;
        v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) | (static_cast<uint32_t>(b[2]) << 16) |
            (static_cast<uint32_t>(b[3]) << 24);
        return true;
    }
};

struct Section {
    uint32_t address, virtualSize, rawSize, rawOffset;
};

bool fileOffset(const std::vector<Section>& sections, uint32_t rva, uint64_t& offset) {
    for (const Section& s : sections) {
        const uint64_t span = std::max(s.virtualSize, s.rawSize);
        if (rva >= s.address && rva - s.address < span) {
            offset = static_cast<uint64_t>(s.rawOffset) + (rva - s.address);
            return true;
        }
    }
    return false;
}

bool isEntryName(const char* name) {
    for (const char* entry : EntryNames)
        if (std::strcmp(name, entry) == 0) return true;
    return false;
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

LibraryImage inspectPe(const ReadBytesAt& read, uint64_t fileSize) {
    LibraryImage image;
    const Reader r{read, fileSize};
    uint16_t mz = 0;
    uint32_t peAt = 0, signature = 0;
    if (!r.u16(0, mz) || mz != 0x5A4D || !r.u32(0x3C, peAt) || !r.u32(peAt, signature) || signature != 0x00004550)
        return image;
    image.isPe = true;
    const uint64_t coff = static_cast<uint64_t>(peAt) + 4;
    uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!r.u16(coff, image.machine) || !r.u16(coff + 2, sectionCount) || !r.u16(coff + 16, optionalSize)) return image;
    const uint64_t optional = coff + 20;
    if (!r.u16(optional, magic)) return image;
    const bool plus = magic == 0x20B;
    if (!plus && magic != 0x10B) return image;
    uint32_t directoryCount = 0, exportRva = 0;
    if (!r.u32(optional + (plus ? 108 : 92), directoryCount) || directoryCount == 0) return image;
    if (!r.u32(optional + (plus ? 112 : 96), exportRva) || exportRva == 0) return image;

    std::vector<Section> sections;
    const uint64_t table = optional + optionalSize;
    for (uint16_t i = 0; i < std::min(sectionCount, MaxSections); ++i) {
        const uint64_t at = table + 40u * i;
        Section s{};
        if (!r.u32(at + 8, s.virtualSize) || !r.u32(at + 12, s.address) || !r.u32(at + 16, s.rawSize) ||
            !r.u32(at + 20, s.rawOffset))
            break;
        sections.push_back(s);
    }
    uint64_t exports = 0, names = 0;
    uint32_t nameCount = 0, namesRva = 0;
    if (!fileOffset(sections, exportRva, exports) || !r.u32(exports + 24, nameCount) ||
        !r.u32(exports + 32, namesRva) || !fileOffset(sections, namesRva, names))
        return image;
    for (uint32_t i = 0; i < std::min(nameCount, MaxNames); ++i) {
        uint32_t nameRva = 0;
        uint64_t nameAt = 0;
        if (!r.u32(names + 4u * i, nameRva)) break;
        if (!fileOffset(sections, nameRva, nameAt)) continue;
        char name[20] = {};
        read(nameAt, reinterpret_cast<uint8_t*>(name), sizeof name - 1);
        if (isEntryName(name)) {
            image.exportsAnyEntry = true;
            break;
        }
    }
    return image;
}

LibraryImage inspectPeFile(const platform::Path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    if (end <= 0) return {};
    const ReadBytesAt read = [&file, end](uint64_t offset, uint8_t* out, size_t count) -> size_t {
        if (offset >= static_cast<uint64_t>(end)) return 0;
        file.clear();
        file.seekg(static_cast<std::streamoff>(offset));
        file.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
        return static_cast<size_t>(file.gcount());
    };
    return inspectPe(read, static_cast<uint64_t>(end));
}

std::string wordSizeAdvice(const LibraryImage& image, bool windowsHost, bool host64) {
    if (!image.isPe || (image.machine != MachineX86 && image.machine != MachineX64)) return {};
    const bool dll64 = image.machine == MachineX64;
    const std::string bits = dll64 ? "64-bit" : "32-bit";
    const std::string use = "use the " + bits + " cabhost.exe (" + (dll64 ? "x64" : "x86") + "\\cabhost.exe)";
    if (!windowsHost) return "it is a " + bits + " Windows DLL, which this cabhost cannot load; " + use + " on Windows";
    if (dll64 == host64) return {};
    return "it is a " + bits + " DLL and this cabhost.exe is " + (host64 ? "64-bit" : "32-bit") + "; " + use;
}

ChainList readChainList(const platform::Path& list, std::vector<ChainListLine>& lines) {
    std::ifstream in(list, std::ios::binary);
    if (!in) return ChainList::Missing;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (number == 1 && config::looksLikeUtf16(line + '\n')) return ChainList::Utf16;
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back({number, line});
    }
    return ChainList::Read;
}

uint16_t corvaneMachine(const platform::Path& pluginDirectory) {
    const LibraryImage corvane = inspectPeFile(platform::joinPath(pluginDirectory, "Corvane.dll"));
    return corvane.isPe ? corvane.machine : MachineX86;
}

void checkChainedLibrary(const std::string& listName, int lineNumber, const std::string& line,
                         const platform::Path& path, bool exists, uint16_t expectedMachine,
                         std::vector<std::string>& warnings) {
    const std::string where = listName + " line " + std::to_string(lineNumber) + ": ";
    if (!line.empty() && isBlank(line.back())) {
        warnings.push_back(
            where + quoted(line) +
            " ends with a blank, which is part of the file name as Corvane reads it (Windows finds the file "
            "anyway, other systems do not); remove it");
    } else if (!line.empty() && isBlank(line.front())) {
        warnings.push_back(where + quoted(line) +
                           " begins with a blank, which is part of the file name as Corvane reads it; remove it");
    }
    if (!exists) return;

    const std::string name = platform::pathToUtf8(path);
    const LibraryImage image = inspectPeFile(path);
    bool exportsAnyEntry = image.exportsAnyEntry;
    if (image.isPe) {
        if (image.machine != expectedMachine) {
            const char* built = image.machine == MachineX64   ? "a 64-bit"
                                : image.machine == MachineX86 ? "a 32-bit"
                                                              : "another processor's";
            const char* wanted = expectedMachine == MachineX64 ? "64-bit" : "32-bit";
            warnings.push_back(where + name + " is " + built + " library, but Corvane here is " + wanted +
                               ": Corvane cannot load it and skips it without a message; list the " + wanted +
                               " build of that plug-in");
            return;
        }
    } else {
        // Not a Windows library: ask this platform's loader, as Corvane's own build would.
        platform::LibraryHandle library = platform::loadLibrary(path);
        if (!library) {
            warnings.push_back(where + name + " is not a library Corvane can load; Corvane skips it without a message");
            return;
        }
        exportsAnyEntry = false;
        for (const char* entry : EntryNames) exportsAnyEntry = exportsAnyEntry || platform::findSymbol(library, entry);
        platform::freeLibrary(library);
    }
    if (!exportsAnyEntry) {
        warnings.push_back(where + name +
                           " exports none of the plug-in functions (Load, Elapse, SetPower, ...): it is not a "
                           "plug-in, and Corvane lets it go without calling it. Only plug-ins belong in this list");
    }
}

}  // namespace cabhost
