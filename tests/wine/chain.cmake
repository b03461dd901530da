# Corvane's Windows DLLs chaining the test plug-ins: the calls arrive intact through the host's
# calling convention, a DLL of the other word size is skipped, and another interface version is
# reported through the error signal.
if(WIN32)
    set(CHAIN_PLUGIN_DIR ${CMAKE_CURRENT_BINARY_DIR}/chain_plugins)

    # A test plug-in exporting the given entry points by their plain names (NONE: no exports).
    function(chain_wine_plugin name source)
        cmake_parse_arguments(arg "" "" "EXPORTS;DEFINES" ${ARGN})
        add_library(${name} SHARED ${CMAKE_SOURCE_DIR}/tests/chain/plugins/${source})
        target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
        target_compile_definitions(${name} PRIVATE ${arg_DEFINES})
        set(def "EXPORTS\n")
        foreach(entry IN LISTS PLUGIN_ENTRY_POINTS)
            string(REPLACE ":" ";" parts "${entry}")
            list(GET parts 0 entry_name)
            list(GET parts 1 bytes)
            if(arg_EXPORTS STREQUAL "ALL" OR entry_name IN_LIST arg_EXPORTS)
                if(CMAKE_SIZEOF_VOID_P EQUAL 4)
                    string(APPEND def "    ${entry_name}=${entry_name}@${bytes}\n")
                else()
                    string(APPEND def "    ${entry_name}\n")
                endif()
            endif()
        endforeach()
        set(def_file ${CMAKE_CURRENT_BINARY_DIR}/${name}.def)
        file(WRITE ${def_file} "${def}")
        target_sources(${name} PRIVATE ${def_file})
        set_target_properties(${name} PROPERTIES PREFIX "" OUTPUT_NAME ${name}
                              RUNTIME_OUTPUT_DIRECTORY ${CHAIN_PLUGIN_DIR})
    endfunction()

    chain_wine_plugin(recording recording_plugin.cpp EXPORTS ALL)
    chain_wine_plugin(old_version recording_plugin.cpp EXPORTS ALL DEFINES CHAIN_TEST_VERSION=0x10000)
    chain_wine_plugin(partial recording_plugin.cpp DEFINES CHAIN_TEST_PARTIAL
                      EXPORTS Dispose SetPower SetBrake KeyDown DoorOpen SetBeaconData)
    chain_wine_plugin(empty empty_plugin.cpp EXPORTS NONE)

    add_executable(chain_wine_test chain_wine_test.cpp)
    target_include_directories(chain_wine_test PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_options(chain_wine_test PRIVATE -municode)
    add_dependencies(chain_wine_test recording old_version partial empty)
else()
    foreach(arch x86 x64)
        if(arch STREQUAL "x86")
            set(other x64)
        else()
            set(other x86)
        endif()
        set(plugins ${CMAKE_SOURCE_DIR}/build/windows-${arch}/tests/wine/chain_plugins)
        add_wine_test(wine_${arch}_chain ${arch} tests/wine/chain_wine_test.exe
                      ${DIST}/windows-${arch}/Corvane.dll ${plugins}
                      ${CMAKE_SOURCE_DIR}/build/windows-${other}/tests/wine/chain_plugins/recording.dll
                      ${CMAKE_BINARY_DIR}/chain_wine_${arch})
    endforeach()
endif()
