# The sixteen host entry points with the bytes a 32-bit standard-call callee removes.
# gcc names Elapse "Elapse@48" (it does not count the hidden result pointer) but removes 52 bytes.
set(PLUGIN_ENTRY_POINTS
    Load:0 Dispose:0 GetPluginVersion:0 SetVehicleSpec:20 Initialize:4 Elapse:48 SetPower:4 SetBrake:4
    SetReverser:4 KeyDown:4 KeyUp:4 HornBlow:4 DoorOpen:0 DoorClose:0 SetSignal:4 SetBeaconData:16)

# Exports exactly the sixteen plain names: a .def file on Windows, a version script on Linux.
# extra_linux_symbols: functions that only the stand-in host and tests use.
function(plugin_exports target)
    set(extra ${ARGN})
    if(WIN32)
        set(def "EXPORTS\n")
        foreach(entry IN LISTS PLUGIN_ENTRY_POINTS)
            string(REPLACE ":" ";" parts "${entry}")
            list(GET parts 0 name)
            list(GET parts 1 bytes)
            if(CMAKE_SIZEOF_VOID_P EQUAL 4)
                string(APPEND def "    ${name}=${name}@${bytes}\n")
            else()
                string(APPEND def "    ${name}\n")
            endif()
        endforeach()
        set(file "${CMAKE_CURRENT_BINARY_DIR}/${target}.def")
        file(WRITE "${file}" "${def}")
        target_sources(${target} PRIVATE "${file}")
        set_target_properties(${target} PROPERTIES PREFIX "")
    else()
        set(script "{\n  global:\n")
        foreach(entry IN LISTS PLUGIN_ENTRY_POINTS)
            string(REPLACE ":" ";" parts "${entry}")
            list(GET parts 0 name)
            string(APPEND script "    ${name};\n")
        endforeach()
        foreach(name IN LISTS extra)
            string(APPEND script "    ${name};\n")
        endforeach()
        string(APPEND script "  local: *;\n};\n")
        set(file "${CMAKE_CURRENT_BINARY_DIR}/${target}.map")
        file(WRITE "${file}" "${script}")
        target_link_options(${target} PRIVATE "-Wl,--version-script=${file}")
        set_target_properties(${target} PROPERTIES LINK_DEPENDS "${file}")
    endif()
endfunction()

# Instrumented builds (the sanitizer preset) keep their artifacts in their own build tree.
option(CORVANE_DIST_COPY "Copy the built artifacts into dist/" ON)

# Copies a built artifact into dist/<platform>/ after every build.
function(copy_to_dist target subdir)
    if(NOT CORVANE_DIST_COPY)
        return()
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory "${DIST_DIR}/${subdir}"
        COMMAND ${CMAKE_COMMAND} -E copy_if_different "$<TARGET_FILE:${target}>" "${DIST_DIR}/${subdir}/"
        VERBATIM)
endfunction()
