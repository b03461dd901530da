// The platform audio contract against real XAudio2 and Media Foundation (the same cases run
// natively against the software engine).
// Usage: sound_contract_test.exe SCRATCH_FOLDER
// clang-format off
#include <windows.h>
#include <objbase.h>
// clang-format on

#include <cstdio>
#include <filesystem>

#include "tests/sound/audio_contract.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::printf("usage: sound_contract_test SCRATCH_FOLDER\n");
        return 2;
    }
    // The host's thread has COM initialised, as a single-threaded apartment.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::filesystem::path scratch(argv[1]);
    std::error_code ignored;
    std::filesystem::remove_all(scratch, ignored);
    std::filesystem::create_directories(scratch);

    int failed = 0;
    for (const contract::Case& c : contract::cases()) {
        contract::Checker checker;
        c.run(checker, scratch);
        std::printf("%s %s\n%s", checker.failures ? "FAIL" : "ok  ", c.name, checker.report.c_str());
        failed += checker.failures != 0;
    }
    std::filesystem::remove_all(scratch, ignored);
    ::CoUninitialize();
    return failed == 0 ? 0 : 1;
}
