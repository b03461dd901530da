# The audio part of the platform layer. Windows loads XAudio2 and Media Foundation at run time, so
# nothing is linked there. Linux decodes with libsndfile.
if(WIN32)
    return()
endif()

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
    pkg_check_modules(SNDFILE QUIET IMPORTED_TARGET sndfile)
endif()
if(TARGET PkgConfig::SNDFILE)
    target_link_libraries(corvane_platform PUBLIC PkgConfig::SNDFILE)
else()
    find_library(SNDFILE_LIBRARY sndfile REQUIRED)
    find_path(SNDFILE_INCLUDE_DIR sndfile.h REQUIRED)
    target_include_directories(corvane_platform PRIVATE ${SNDFILE_INCLUDE_DIR})
    target_link_libraries(corvane_platform PUBLIC ${SNDFILE_LIBRARY})
endif()
# A library that uses no audio (Sentrel) must not depend on the decoder at run time.
target_link_options(corvane_platform INTERFACE -Wl,--as-needed)
