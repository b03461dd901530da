// `cabhost check`: reads every configuration file of a vehicle the way Corvane reads it and tells
// the author what is wrong and what is missing.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cabhost {

struct CheckReport {
    bool found = false;  // the folder and its Notch.txt were found
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
    std::vector<std::string> missing;  // optional files that are not there, with their effect
    std::vector<std::string> facts;    // what was read
};

CheckReport checkVehicleFolder(const platform::Path& given);
// The sound files of the vehicle that Corvane would not find, each with what that means.
std::vector<std::string> missingSoundFiles(const platform::Path& pluginDirectory);
// Prints the report; returns the exit code (0 without errors).
int checkCommand(const platform::Path& given, std::ostream& out, std::ostream& err);

}  // namespace cabhost
