# Benchmark of ARC extraction (included from bench/CMakeLists.txt): TUnARC
# against nomarch (and arc itself) on one archive written by arc, in the
# same run. Never run in CI.
#   cmake --build BUILD --target bench_arc && BUILD/bench/bench_arc
add_executable(bench_arc ${CMAKE_CURRENT_LIST_DIR}/bench_arc.cpp)
target_link_libraries(bench_arc PRIVATE vz_readers vz_platform)
target_compile_definitions(bench_arc PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
