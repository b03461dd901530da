# The audio part of the platform layer (of the release platform library and of the test builds'
# fixed-random one). Windows loads XAudio2 and Media Foundation at run time, so nothing is linked
# there. Linux decodes with libsndfile.
if(WIN32)
    return()
endif()

find_package(PkgConfig QUIET)
if(PkgConfig_FOUND)
    pkg_check_modules(SNDFILE QUIET IMPORTED_TARGET sndfile)
endif()
if(NOT TARGET PkgConfig::SNDFILE)
    find_library(SNDFILE_LIBRARY sndfile REQUIRED)
    find_path(SNDFILE_INCLUDE_DIR sndfile.h REQUIRED)
endif()
foreach(platform_library corvane_platform corvane_platform_fixed)
    if(NOT TARGET ${platform_library})
        continue()
    endif()
    if(TARGET PkgConfig::SNDFILE)
        target_link_libraries(${platform_library} PUBLIC PkgConfig::SNDFILE)
    else()
        target_include_directories(${platform_library} PRIVATE ${SNDFILE_INCLUDE_DIR})
        target_link_libraries(${platform_library} PUBLIC ${SNDFILE_LIBRARY})
    endif()
    # A library that uses no audio (Sentrel) must not depend on the decoder at run time.
    target_link_options(${platform_library} INTERFACE -Wl,--as-needed)
endforeach()
