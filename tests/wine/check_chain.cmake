# cabhost.exe check on the libraries of detailmodules.txt, under Wine for each word size.
if(NOT WIN32)
    foreach(arch x86 x64)
        add_test(NAME wine_${arch}_check_chain
                 COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check-chain.sh ${arch} ${CMAKE_BINARY_DIR}/e2e/check-chain-${arch})
        set_tests_properties(wine_${arch}_check_chain PROPERTIES SKIP_RETURN_CODE 77 LABELS "wine;e2e" TIMEOUT 300
                             ENVIRONMENT "E2E_SOURCE_DIR=${CMAKE_SOURCE_DIR};E2E_BUILD_DIR=${CMAKE_BINARY_DIR}")
    endforeach()
endif()
