// Corvane writes its audio start-up log into its own folder, and a library it chains may write
// beside itself. So that a run changes nothing outside its output folder, Corvane works from a
// mirror of the vehicle built inside the output folder: real folders holding copies of the files
// of one tree (the plug-in folder's parent, or the vehicle folder when that holds the parent),
// below the real folders' full path. Every relative name inside that tree reaches a copy of the
// same file, and whatever is written there lands in the mirror.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

// The file name of Corvane's audio start-up log.
extern const std::string AudioLogName;

// What the mirror made at one path: a folder, or a copy of this size and time.
struct MirrorEntry {
    bool folder = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
};

struct VehicleMirror {
    bool active = false;
    platform::Path root;             // inside the output folder
    platform::Path copies;           // beside root: where the unchanged copies wait for the next run
    platform::Path pluginDirectory;  // the mirrored plug-in folder, with a trailing separator
    platform::Path realRootName;     // the drive of the real folders (Windows), for unmirror
    std::map<platform::Path, MirrorEntry> made;
};

// Builds the mirror of pluginDirectory's tree under root, reusing the copies of an earlier run whose
// size and time still match. Whatever lies at root or at the copies' place is cleared first without
// following a link; a link there is removed as a link. False (with the reason in note) when the
// mirror cannot be made; whatever was made is removed again.
// With chainList, the mirror's detailmodules.txt is written with these libraries (absolute paths)
// instead of copying the vehicle's own. Names that reach above the mirrored tree are not found.
bool buildMirror(const platform::Path& pluginDirectory, const platform::Path& root, VehicleMirror& mirror,
                 std::string& note, const std::vector<platform::Path>* chainList = nullptr,
                 const platform::Path* vehicleFolder = nullptr);
// Ends the mirror: what the run added or changed in it is removed (read-only or not, never
// through a link), and the unchanged copies are put aside for the next run. Returns what could not
// be removed, one "path: reason" each.
std::vector<std::string> removeMirror(VehicleMirror& mirror);
// Text with the mirror's paths turned back into the vehicle's own paths.
std::string unmirror(const std::string& text, const VehicleMirror& mirror);

}  // namespace cabhost
