# cabhost.exe on its own: Corvane linked in (Media Foundation decoding, the software engine) gives
# the same trace.csv and corvane.wav, byte for byte, as the native host over the three sample
# scenarios; --plugin hands the scenario's chain to a DLL through a mirror; --realtime paces; the
# package does what the guide's first hour says.
# Nothing to build on Windows: the hosts come from host/CMakeLists.txt.
if(NOT WIN32)
    set(HOST_WINDOWS ${CMAKE_CURRENT_SOURCE_DIR}/host_windows.sh)
    set(HOST_WINDOWS_WORK ${CMAKE_BINARY_DIR}/host_windows)
    set(HOST_WINDOWS_ENVIRONMENT E2E_SOURCE_DIR=${CMAKE_SOURCE_DIR} E2E_BUILD_DIR=${CMAKE_BINARY_DIR})

    function(host_windows_test name case runner)
        add_test(NAME ${name} COMMAND ${HOST_WINDOWS} ${case} ${runner} ${HOST_WINDOWS_WORK}/${name} ${ARGN})
        if(runner STREQUAL "native")
            set(labels native e2e)
        else()
            set(labels wine e2e)
        endif()
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 LABELS "${labels}" TIMEOUT 300
                             ENVIRONMENT "${HOST_WINDOWS_ENVIRONMENT}")
    endfunction()

    foreach(scenario departure electric_stop sentrel_beacons)
        set(runs)
        foreach(runner native x86 x64)
            set(name host_${runner}_linked_${scenario})
            if(NOT runner STREQUAL "native")
                set(name wine_${name})
            endif()
            host_windows_test(${name} linked ${runner} ${scenario}.toml)
            set_tests_properties(${name} PROPERTIES FIXTURES_SETUP host_linked_${scenario})
            list(APPEND runs ${HOST_WINDOWS_WORK}/${name})
        endforeach()
        add_test(NAME wine_host_linked_${scenario}_identical COMMAND ${HOST_WINDOWS} compare - - ${runs})
        set_tests_properties(wine_host_linked_${scenario}_identical PROPERTIES SKIP_RETURN_CODE 77
                             LABELS "wine;e2e" FIXTURES_REQUIRED host_linked_${scenario}
                             ENVIRONMENT "${HOST_WINDOWS_ENVIRONMENT}")
    endforeach()

    # cabhost.exe x86 linked in where qemu's emulation carries it: no sound files to decode.
    host_windows_test(host_native_linked_short linked-short native)
    host_windows_test(wine_host_x86_linked_short linked-short x86)
    set_tests_properties(host_native_linked_short wine_host_x86_linked_short PROPERTIES
                         FIXTURES_SETUP host_linked_short)
    add_test(NAME wine_host_linked_short_identical COMMAND ${HOST_WINDOWS} compare - -
             ${HOST_WINDOWS_WORK}/host_native_linked_short ${HOST_WINDOWS_WORK}/wine_host_x86_linked_short)
    set_tests_properties(wine_host_linked_short_identical PROPERTIES SKIP_RETURN_CODE 77
                         LABELS "wine;e2e" FIXTURES_REQUIRED host_linked_short
                         ENVIRONMENT "${HOST_WINDOWS_ENVIRONMENT}")

    foreach(runner native x86 x64)
        set(name host_${runner}_plugin_chain)
        if(NOT runner STREQUAL "native")
            set(name wine_${name})
        endif()
        host_windows_test(${name} plugin-chain ${runner})
    endforeach()
    host_windows_test(wine_host_x86_realtime realtime x86)
    host_windows_test(host_native_linked_error linked-error native)
    host_windows_test(wine_host_x64_linked_error linked-error x64)
    host_windows_test(wine_host_x64_long_path long-path x64)
    host_windows_test(wine_host_x64_mirror_guard mirror-guard x64)
    host_windows_test(wine_host_x64_interrupt interrupt x64)
    host_windows_test(wine_host_x64_watch watch x64)
    host_windows_test(wine_host_x64_batch batch x64)
    host_windows_test(host_native_tuning tuning native)
    host_windows_test(wine_host_x64_tuning tuning x64)
    foreach(arch x86 x64)
        host_windows_test(wine_host_${arch}_package package ${arch})
    endforeach()
endif()
