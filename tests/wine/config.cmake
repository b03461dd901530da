# The configuration readers built for Windows: the sample vehicle reads to the same bits as the
# native build, and Japanese folder names, byte-order marks and CR LF work.
if(WIN32)
    add_executable(config_wine_test config_wine_test.cpp)
    target_include_directories(config_wine_test PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(config_wine_test PRIVATE corvane_core)
    target_link_options(config_wine_test PRIVATE -municode)
else()
    foreach(arch x86 x64)
        add_wine_test(wine_${arch}_config ${arch} tests/wine/config_wine_test.exe
                      ${CMAKE_SOURCE_DIR}/samples/vehicle/plugin ${CMAKE_BINARY_DIR}/config_wine_${arch})
    endforeach()
endif()
