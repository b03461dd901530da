# The audio platform layer and Corvane's own sounds under Wine: real XAudio2 and Media Foundation.
if(WIN32)
    add_executable(sound_contract_test sound_contract_test.cpp)
    target_link_libraries(sound_contract_test PRIVATE corvane_platform)
    add_executable(sound_plugin_test sound_plugin_test.cpp)
    target_include_directories(sound_plugin_test PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(sound_plugin_test PRIVATE ole32)
else()
    foreach(arch x86 x64)
        add_wine_test(wine_${arch}_sound_contract ${arch} tests/wine/sound_contract_test.exe
                      ${CMAKE_BINARY_DIR}/wine/sound-contract-${arch})
    endforeach()
    add_wine_test(wine_x86_sound_plugin x86 tests/wine/sound_plugin_test.exe ${DIST}/windows-x86/Corvane.dll
                  ${CMAKE_SOURCE_DIR}/samples/vehicle ${CMAKE_BINARY_DIR}/wine/sound-plugin-x86)
endif()
