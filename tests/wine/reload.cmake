# Route reloads under Wine: Corvane's x86 DLL loaded, run, disposed and freed five times in one
# process with real XAudio2 and Media Foundation; the process's threads come back to their count.
if(WIN32)
    add_executable(reload_wine_test reload_wine_test.cpp)
    target_include_directories(reload_wine_test PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(reload_wine_test PRIVATE ole32)
else()
    add_wine_test(wine_x86_reload x86 tests/wine/reload_wine_test.exe ${DIST}/windows-x86/Corvane.dll
                  ${CMAKE_SOURCE_DIR}/samples/vehicle ${CMAKE_BINARY_DIR}/wine/reload-x86)
endif()
