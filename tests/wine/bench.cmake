# The Windows benchmark program of the frame on the real audio path; scripts/bench runs it under
# Wine (a benchmark, not a test: nothing is registered with ctest).
if(WIN32)
    add_executable(frame_bench frame_bench.cpp)
    target_include_directories(frame_bench PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_libraries(frame_bench PRIVATE ole32)
endif()
