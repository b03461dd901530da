// Corvane writes its audio start-up log into its own folder. So that a run writes nothing outside
// its output folder, linked-in Corvane works from a mirror of its folder built inside the output
// folder: the plug-in folder and each folder above it are real, empty folders there, holding links
// to everything else at their level. Every relative name in the vehicle's files reaches the same
// file as before, and the log lands in the mirror.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

// The file name of Corvane's audio start-up log.
extern const char AudioLogName[];

struct VehicleMirror {
    bool active = false;
    platform::Path root;                  // inside the output folder
    platform::Path pluginDirectory;       // the mirrored plug-in folder, with a trailing separator
    platform::Path realRootName;          // the drive of the real folders (Windows), for unmirror
    std::vector<platform::Path> created;  // links and folders in the order they were made
};

// Builds the mirror of pluginDirectory under root. False (with the reason in note) when the
// platform cannot make links; whatever was made is removed again.
// With chainList, the mirror's detailmodules.txt is written with these libraries (absolute paths)
// instead of linking the vehicle's own.
// Where the platform cannot link folders (Windows), the mirror holds real folders and links (or
// copies) of the files of one tree: the plug-in folder's parent (Corvane reads its sounds there),
// or vehicleFolder when that holds the parent; names that reach above that tree are not found.
bool buildMirror(const platform::Path& pluginDirectory, const platform::Path& root, VehicleMirror& mirror,
                 std::string& note, const std::vector<platform::Path>* chainList = nullptr,
                 const platform::Path* vehicleFolder = nullptr);
// Removes the links and folders the mirror made, newest first; never follows a link.
void removeMirror(VehicleMirror& mirror);
// Text with the mirror's paths turned back into the vehicle's own paths.
std::string unmirror(const std::string& text, const VehicleMirror& mirror);

}  // namespace cabhost
