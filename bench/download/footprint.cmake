# The program's peak memory while it downloads a 1 GiB file and its CPU use while it
# only polls the engine. Argument: the file size in MiB (default 1024).
add_executable(bench_download_footprint ${CMAKE_CURRENT_LIST_DIR}/BenchDownloadFootprint.cpp)
target_link_libraries(bench_download_footprint PRIVATE appcore sandbox)
if(TARGET dlengine)
    add_dependencies(bench_download_footprint dlengine)
endif()
