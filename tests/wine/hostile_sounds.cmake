# Crafted sound files against real XAudio2 and Media Foundation, voice by voice and through the DLL.
if(WIN32)
    add_executable(hostile_sound_wine_test hostile_sound_wine_test.cpp)
    target_link_libraries(hostile_sound_wine_test PRIVATE corvane_core)
else()
    foreach(arch x86 x64)
        add_wine_test(wine_${arch}_hostile_sounds ${arch} tests/wine/hostile_sound_wine_test.exe
                      ${DIST}/windows-${arch}/Corvane.dll ${CMAKE_SOURCE_DIR}/samples/vehicle
                      ${CMAKE_BINARY_DIR}/wine/hostile-sounds-${arch})
    endforeach()
endif()
