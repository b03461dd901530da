# Sentrel's Windows DLLs driven through their exports: one overspeed trip and its reset.
if(WIN32)
    add_executable(sentrel_trip_test sentrel_trip_test.cpp)
    target_include_directories(sentrel_trip_test PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_options(sentrel_trip_test PRIVATE -municode)
else()
    foreach(arch x86 x64)
        add_wine_test(wine_${arch}_sentrel_trip ${arch} tests/wine/sentrel_trip_test.exe
                      ${DIST}/windows-${arch}/Sentrel.dll)
    endforeach()
endif()
