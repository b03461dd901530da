// Faults fixed at their root in the frame and the platform layer, tested on their plain state.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "corvane/lifecycle.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

// Held adjustment keys repeat without end: the value stops at the ends of its range.
TEST(AdjustmentValue, StopsAtTheEndsOfItsRangeInsteadOfOverflowing) {
    corvane::Plugin p;
    p.input.panelModifyMode = true;
    p.input.adjustTarget = 5;
    p.input.adjustValue = INT32_MAX - 50;
    corvane::keyDown(p, 5, false);
    EXPECT_EQ(p.input.adjustValue, INT32_MAX);
    corvane::keyDown(p, 5, false);
    EXPECT_EQ(p.input.adjustValue, INT32_MAX);
    corvane::keyDown(p, 6, false);
    EXPECT_EQ(p.input.adjustValue, INT32_MAX - 100);

    p.input.adjustTarget = 3;
    p.input.adjustValue = INT32_MIN + 5;
    corvane::keyDown(p, 6, false);
    EXPECT_EQ(p.input.adjustValue, INT32_MIN);
    corvane::keyDown(p, 5, false);
    EXPECT_EQ(p.input.adjustValue, INT32_MIN + 10);
}

// The working folder for one test; the old one comes back afterwards.
class InFolder {
public:
    InFolder() : previous_(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "corvane-library-XXXXXX").native();
        if (!::mkdtemp(pattern.data())) ADD_FAILURE() << "no temporary folder";
        folder_ = pattern;
        fs::current_path(folder_);
    }
    ~InFolder() {
        fs::current_path(previous_);
        std::error_code error;
        fs::remove_all(folder_, error);
    }
    fs::path folder() const { return folder_; }

private:
    fs::path previous_, folder_;
};

TEST(LibraryLoading, ABareNameIsNotLookedUpInTheLoadersFolders) {
    InFolder here;
    // The system's C library is always loadable by this name through the loader's search path.
    EXPECT_EQ(platform::loadLibrary(platform::Path("libc.so.6")), nullptr);
    EXPECT_FALSE(platform::exists(platform::Path("libc.so.6")));
}

TEST(LibraryLoading, ARelativePathIsTheFileTheExistenceTestSaw) {
    InFolder here;
    fs::copy_file(RELIABILITY_PLUGIN, here.folder() / "chained.so");
    ASSERT_TRUE(platform::exists(platform::Path("chained.so")));
    platform::LibraryHandle library = platform::loadLibrary(platform::Path("chained.so"));
    ASSERT_NE(library, nullptr);
    EXPECT_NE(platform::findSymbol(library, "ReliabilityConfigure"), nullptr);
    EXPECT_EQ(platform::libraryFileName(library), here.folder() / "chained.so");
    platform::freeLibrary(library);
}

}  // namespace
