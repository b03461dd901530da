// `cabhost check` on the libraries detailmodules.txt lists: libraries that are no plug-ins, of the
// other word size, and names with a blank at the end, each named with the list file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "host/chain_check.h"
#include "host/check.h"
#include "host_test_support.h"

namespace {

using hosttest::TempDir;
namespace fs = std::filesystem;

void put(std::string& image, size_t at, uint32_t value, int bytes) {
    if (image.size() < at + bytes) image.resize(at + bytes, '\0');
    for (int i = 0; i < bytes; ++i) image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A minimal PE image: one section at RVA 0x1000 (file offset 0x400) holding the export directory
// with the given names.
std::string peImage(uint16_t machine, const std::vector<std::string>& exports) {
    const bool plus = machine == cabhost::MachineX64;
    std::string image(0x400, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    put(image, 0x3C, 0x40, 4);
    image.replace(0x40, 4, std::string("PE\0\0", 4));
    const size_t coff = 0x44, optional = coff + 20;
    const uint16_t optionalSize = plus ? 240 : 224;
    put(image, coff, machine, 2);
    put(image, coff + 2, 1, 2);  // one section
    put(image, coff + 16, optionalSize, 2);
    put(image, optional, plus ? 0x20B : 0x10B, 2);
    put(image, optional + (plus ? 108 : 92), 16, 4);  // data directories
    if (!exports.empty()) put(image, optional + (plus ? 112 : 96), 0x1000, 4);
    const size_t section = optional + optionalSize;
    image.replace(section, 6, ".edata");
    put(image, section + 8, 0x200, 4);    // virtual size
    put(image, section + 12, 0x1000, 4);  // RVA
    put(image, section + 16, 0x200, 4);   // raw size
    put(image, section + 20, 0x400, 4);   // raw offset
    std::string data(0x200, '\0');
    const uint32_t namesRva = 0x1000 + 40;
    put(data, 24, static_cast<uint32_t>(exports.size()), 4);
    put(data, 32, namesRva, 4);
    uint32_t text = 40 + 4 * static_cast<uint32_t>(exports.size());
    for (size_t i = 0; i < exports.size(); ++i) {
        put(data, 40 + 4 * i, 0x1000 + text, 4);
        data.replace(text, exports[i].size() + 1, exports[i] + '\0');
        text += static_cast<uint32_t>(exports[i].size()) + 1;
    }
    data.resize(0x200, '\0');
    return image + data;
}

std::vector<std::string> matching(const std::vector<std::string>& lines, const std::string& part) {
    std::vector<std::string> out;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(out),
                 [&](const std::string& line) { return line.find(part) != std::string::npos; });
    return out;
}

TEST(ChainCheck, TheHeadersOfAWindowsLibrary) {
    TempDir dir;
    const fs::path file = dir.path() / "a.dll";
    hosttest::writeFile(file, peImage(cabhost::MachineX86, {"DllMain", "Elapse"}));
    cabhost::LibraryImage image = cabhost::inspectPeFile(file);
    EXPECT_TRUE(image.isPe);
    EXPECT_EQ(image.machine, cabhost::MachineX86);
    EXPECT_TRUE(image.exportsAnyEntry);
    hosttest::writeFile(file, peImage(cabhost::MachineX64, {"GetFileVersionInfoW", "Elapsed", "load"}));
    image = cabhost::inspectPeFile(file);
    EXPECT_EQ(image.machine, cabhost::MachineX64);
    EXPECT_FALSE(image.exportsAnyEntry);
    hosttest::writeFile(file, peImage(cabhost::MachineX86, {}));
    EXPECT_FALSE(cabhost::inspectPeFile(file).exportsAnyEntry);
    // Cut short anywhere before the end of the name, the headers are read as far as they go.
    const std::string whole = peImage(cabhost::MachineX86, {"Load"});
    for (size_t size = 0; size < 0x400 + 40 + 4 + 4; size += 3) {
        hosttest::writeFile(file, whole.substr(0, size));
        EXPECT_FALSE(cabhost::inspectPeFile(file).exportsAnyEntry) << size;
    }
}

TEST(ChainCheck, EveryLibraryThatCannotTakeItsPlaceInTheChainIsNamedWithItsLine) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    const fs::path plugin = vehicle / "plugin";
    hosttest::writeFile(plugin / "version.dll", peImage(cabhost::MachineX86, {"GetFileVersionInfoW"}));
    hosttest::writeFile(plugin / "ats64.dll", peImage(cabhost::MachineX64, {"Load", "Elapse"}));
    hosttest::writeFile(plugin / "ats32.dll", peImage(cabhost::MachineX86, {"Load", "Elapse"}));
    hosttest::writeFile(plugin / "notes.dll", "not a library\r\n");
    fs::copy_file(SENTREL_LIBRARY, plugin / "Sentrel.so");
    hosttest::writeFile(plugin / "detailmodules.txt",
                        "version.dll\r\nats64.dll\r\nats32.dll\r\nnotes.dll\r\nSentrel.so \r\nSentrel.so\r\n");
    const std::string list = (plugin / "detailmodules.txt").string();

    cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    std::vector<std::string> found = matching(r.warnings, list + " line ");
    ASSERT_EQ(found.size(), 4u) << (found.empty() ? "" : found.back());
    EXPECT_EQ(
        matching(found, "line 1: ")[0].find("version.dll exports none of the plug-in functions") != std::string::npos,
        true);
    EXPECT_NE(matching(found, "line 2: ")[0].find("ats64.dll is a 64-bit library, but Corvane here is 32-bit"),
              std::string::npos);
    EXPECT_NE(matching(found, "line 4: ")[0].find("notes.dll is not a library Corvane can load"), std::string::npos);
    EXPECT_NE(matching(found, "line 5: ")[0].find("\"Sentrel.so \" ends with a blank"), std::string::npos);
    EXPECT_TRUE(matching(r.warnings, "names no").empty());

    // Beside a 64-bit Corvane the other build is the one out of place.
    hosttest::writeFile(plugin / "Corvane.dll", peImage(cabhost::MachineX64, {"Load"}));
    r = cabhost::checkVehicleFolder(vehicle);
    found = matching(r.warnings, "-bit library");
    ASSERT_EQ(found.size(), 2u);  // version.dll and ats32.dll
    EXPECT_NE(found[1].find("line 3: " + (plugin / "ats32.dll").string() +
                            " is a 32-bit library, but Corvane here is 64-bit"),
              std::string::npos);
}

TEST(ChainCheck, AListOfNothingButLibrariesThatAreNoPlugInsMovesNoTrain) {
    TempDir dir;
    const fs::path vehicle = hosttest::copySampleVehicle(dir.path());
    hosttest::writeFile(vehicle / "plugin" / "version.dll", peImage(cabhost::MachineX86, {"VerQueryValueW"}));
    hosttest::writeFile(vehicle / "plugin" / "detailmodules.txt", "version.dll\n");
    const cabhost::CheckReport r = cabhost::checkVehicleFolder(vehicle);
    EXPECT_EQ(matching(r.warnings, "names no plug-in").size(), 1u);
}

// A DLL that the loader refused, both ways round and on a host that loads no DLL at all.
TEST(ChainCheck, ADllOfTheOtherWordSizeNamesTheCabhostThatLoadsIt) {
    struct Case {
        uint16_t machine;
        bool windowsHost, host64;
        const char* says;
    } const cases[] = {
        {cabhost::MachineX86, true, true,
         "it is a 32-bit DLL and this cabhost.exe is 64-bit; use the 32-bit cabhost.exe (x86\\cabhost.exe)"},
        {cabhost::MachineX64, true, false,
         "it is a 64-bit DLL and this cabhost.exe is 32-bit; use the 64-bit cabhost.exe (x64\\cabhost.exe)"},
        {cabhost::MachineX64, false, true,
         "it is a 64-bit Windows DLL, which this cabhost cannot load; use the 64-bit cabhost.exe (x64\\cabhost.exe) "
         "on Windows"},
        {cabhost::MachineX86, true, false, ""},  // its own word size: something else kept it out
        {0x01C4, true, true, ""},                // another processor's
    };
    for (const Case& c : cases) {
        cabhost::LibraryImage image;
        image.isPe = true;
        image.machine = c.machine;
        EXPECT_EQ(cabhost::wordSizeAdvice(image, c.windowsHost, c.host64), c.says) << c.machine;
    }
}

}  // namespace
