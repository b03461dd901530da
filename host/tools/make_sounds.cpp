// Writes the sample vehicle's sounds (see host/vehicle_sounds.h). Usage: make_sounds VEHICLE_FOLDER
#include <cstdio>
#include <string>

#include "host/vehicle_sounds.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds VEHICLE_FOLDER\n");
        return 2;
    }
    std::string error;
    if (!cabhost::writeVehicleSounds(platform::Path(argv[1]), error)) {
        std::fprintf(stderr, "make_sounds: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
