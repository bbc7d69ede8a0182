# Time from "解析" to the summary for a generated course with latency on every call.
add_executable(bench_parse ${CMAKE_CURRENT_LIST_DIR}/BenchParse.cpp)
target_link_libraries(bench_parse PRIVATE appcore sandbox course text)
if(TARGET dlengine)
    # The window initialises the engine library, loaded by name from beside the program.
    add_dependencies(bench_parse dlengine)
endif()
