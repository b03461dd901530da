# Writes a C++ source that carries files inside the program: each file becomes a byte array behind a
# function that returns it as a std::string_view.
#
#   cmake -P embed_files.cmake OUTPUT.cpp HEADER NAMESPACE FUNCTION=FILE...
#
# The source is written only when its text changes, so an unchanged file rebuilds nothing.
if(CMAKE_ARGC LESS 6)
    message(FATAL_ERROR "usage: cmake -P embed_files.cmake OUTPUT.cpp HEADER NAMESPACE FUNCTION=FILE...")
endif()
math(EXPR last "${CMAKE_ARGC} - 1")
# Arguments after the script name: cmake, -P and the script take the first three.
set(output "${CMAKE_ARGV3}")
set(header "${CMAKE_ARGV4}")
set(namespace "${CMAKE_ARGV5}")

set(text "// Generated at build time by host/tools/embed_files.cmake; do not edit.\n")
string(APPEND text "#include \"${header}\"\n\nnamespace ${namespace} {\nnamespace {\n")
set(functions "")
foreach(i RANGE 6 ${last})
    string(REGEX MATCH "^([A-Za-z_][A-Za-z0-9_]*)=(.+)$" pair "${CMAKE_ARGV${i}}")
    if(NOT pair)
        message(FATAL_ERROR "embed_files: expected FUNCTION=FILE, got ${CMAKE_ARGV${i}}")
    endif()
    set(function "${CMAKE_MATCH_1}")
    set(file "${CMAKE_MATCH_2}")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "embed_files: ${file} does not exist")
    endif()
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    # Sixteen bytes a line keeps the generated source readable in a diff.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){16})" "\\1\n" bytes "${bytes}")
    get_filename_component(file_name "${file}" NAME)
    string(APPEND text "// ${file_name}\nconst unsigned char ${function}Data[${size} + 1] = {\n${bytes}0};\n")
    string(APPEND functions "std::string_view ${function}() {\n"
                            "    return {reinterpret_cast<const char*>(${function}Data), ${size}};\n}\n")
endforeach()
string(APPEND text "}  // namespace\n\n${functions}\n}  // namespace ${namespace}\n")

set(old "")
if(EXISTS "${output}")
    file(READ "${output}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${output}" "${text}")
endif()
