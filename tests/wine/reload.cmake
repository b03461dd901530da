# Route reloads under Wine: Corvane's DLL (x86, and x64 alike) loaded, run, disposed and freed five times in one
# process with real XAudio2 and Media Foundation; the process's threads come back to their count.
if(WIN32)
    add_executable(reload_wine_test reload_wine_test.cpp)
    target_include_directories(reload_wine_test PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(reload_wine_test PRIVATE ole32)
else()
    foreach(arch x86 x64)
        add_wine_test(wine_${arch}_reload ${arch} tests/wine/reload_wine_test.exe
                      ${DIST}/windows-${arch}/Corvane.dll ${CMAKE_SOURCE_DIR}/samples/vehicle
                      ${CMAKE_BINARY_DIR}/wine/reload-${arch})
    endforeach()
endif()
