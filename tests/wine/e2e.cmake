# The shipped DLLs end to end: cabhost.exe of each word size drives them under Wine through their
# exports over the sample scenarios, and the test builds with the fixed random sequence give the
# same trace, byte for byte, on the x86 and x64 DLLs under Wine and the native library.
# Nothing to build on Windows: cabhost.exe, the fixed builds and the recording plug-in come from
# the host, the top level and chain.cmake.
if(NOT WIN32)
    set(E2E ${CMAKE_CURRENT_SOURCE_DIR}/e2e.sh)
    set(E2E_WORK ${CMAKE_BINARY_DIR}/e2e)
    set(E2E_ENVIRONMENT E2E_SOURCE_DIR=${CMAKE_SOURCE_DIR} E2E_BUILD_DIR=${CMAKE_BINARY_DIR}
                        E2E_NATIVE_CABHOST=$<TARGET_FILE:cabhost>)

    # e2e_test(NAME CASE RUNNER LIBS [TEST_PLUGINS]): RUNNER native, x86 or x64.
    function(e2e_test name case runner libs)
        add_test(NAME ${name} COMMAND ${E2E} ${case} ${runner} ${E2E_WORK}/${name} ${libs} ${ARGN})
        if(runner STREQUAL "native")
            set(labels native e2e)
        else()
            set(labels wine e2e)
        endif()
        set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 LABELS "${labels}" TIMEOUT 300
                             ENVIRONMENT "${E2E_ENVIRONMENT}")
    endfunction()

    # The same runs on the three builds of the fixed-random plug-ins, compared: the departure, the
    # departure with a random spread of frame intervals, Sentrel's beacons.
    foreach(scenario departure spread beacons)
        set(case ${scenario})
        if(scenario STREQUAL "spread")
            set(case departure-spread)
        endif()
        set(runs)
        e2e_test(e2e_native_${scenario}_fixed ${case} native ${CMAKE_BINARY_DIR}/fixed)
        list(APPEND runs ${E2E_WORK}/e2e_native_${scenario}_fixed)
        set_tests_properties(e2e_native_${scenario}_fixed PROPERTIES FIXTURES_SETUP e2e_${scenario})
        foreach(arch x86 x64)
            e2e_test(wine_${arch}_${scenario}_fixed ${case} ${arch}
                     ${CMAKE_SOURCE_DIR}/build/windows-${arch}/fixed)
            set_tests_properties(wine_${arch}_${scenario}_fixed PROPERTIES FIXTURES_SETUP e2e_${scenario})
            list(APPEND runs ${E2E_WORK}/wine_${arch}_${scenario}_fixed)
        endforeach()
        add_test(NAME wine_${scenario}_traces_identical
                 COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/compare-traces.sh ${runs})
        set_tests_properties(wine_${scenario}_traces_identical PROPERTIES SKIP_RETURN_CODE 77 LABELS "wine;e2e"
                             FIXTURES_REQUIRED e2e_${scenario})
    endforeach()

    # The first 20 s of the departure on the native and the x86 fixed builds, without sound files:
    # the trace comparison that qemu's emulation carries where 32-bit code cannot run natively.
    e2e_test(e2e_native_short_fixed departure-short native ${CMAKE_BINARY_DIR}/fixed)
    e2e_test(wine_x86_short_fixed departure-short x86 ${CMAKE_SOURCE_DIR}/build/windows-x86/fixed)
    set_tests_properties(e2e_native_short_fixed wine_x86_short_fixed PROPERTIES FIXTURES_SETUP e2e_short)
    # Without XAudio2 (Corvane goes on without its sounds): qemu crashes once the engine mixes.
    set_property(TEST wine_x86_short_fixed APPEND PROPERTY ENVIRONMENT WINE_TEST_OVERRIDES=xaudio2_8=)
    add_test(NAME wine_short_traces_identical COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/compare-traces.sh
             ${E2E_WORK}/e2e_native_short_fixed ${E2E_WORK}/wine_x86_short_fixed)
    set_tests_properties(wine_short_traces_identical PROPERTIES SKIP_RETURN_CODE 77 LABELS "wine;e2e"
                         FIXTURES_REQUIRED e2e_short)

    # The release Corvane for the 32-bit host over the whole departure, on real XAudio2 and Media
    # Foundation.
    e2e_test(wine_x86_departure_sound departure-sound x86 ${DIST}/windows-x86)

    # Corvane chaining the recording test plug-in and Sentrel; a faulty notch file and a chained
    # plug-in of another interface version, each reported by the host, which goes on.
    foreach(arch x86 x64)
        set(test_plugins ${CMAKE_SOURCE_DIR}/build/windows-${arch}/tests/wine/chain_plugins)
        e2e_test(wine_${arch}_chain_sentrel chain ${arch} ${DIST}/windows-${arch} ${test_plugins})
        e2e_test(wine_${arch}_host_config_error config-error ${arch} ${DIST}/windows-${arch})
        e2e_test(wine_${arch}_host_version_error version-error ${arch} ${DIST}/windows-${arch} ${test_plugins})
        # An author's first vehicle: cabhost.exe new, check and run.
        e2e_test(wine_${arch}_new_vehicle new-vehicle ${arch} ${DIST}/windows-${arch})
    endforeach()
endif()
