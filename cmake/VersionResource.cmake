# version_resource(target file_name description): on Windows, the release's version and a
# description in the file's version resource. Elsewhere nothing.
function(version_resource target file_name description)
    if(NOT WIN32)
        return()
    endif()
    set(RESOURCE_NAME ${target})
    set(RESOURCE_FILE_NAME ${file_name})
    set(RESOURCE_DESCRIPTION "${description}")
    if(file_name MATCHES "\\.exe$")
        set(RESOURCE_FILE_TYPE 1)  # VFT_APP
    else()
        set(RESOURCE_FILE_TYPE 2)  # VFT_DLL
    endif()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc @ONLY)
    target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
endfunction()
