# Benchmark of the stand-in engine's add (included from bench/CMakeLists.txt):
# `zwzip -r -6` of a copy of /usr/include with one worker thread and with
# all cores, against `zip -r -6` on the same tree.
#   cmake --build BUILD --target bench_zw_add && BUILD/bin/bench_zw_add
add_executable(bench_zw_add ${CMAKE_CURRENT_LIST_DIR}/bench_zw_add.cpp)
target_link_libraries(bench_zw_add PRIVATE vz_zw_zip)
target_compile_definitions(bench_zw_add PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
