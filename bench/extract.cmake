# Benchmark of the extraction driver (included from bench/CMakeLists.txt):
# UnzipFiles of a 200 MB archive of mixed files against `unzip -o -q`.
#   cmake --build BUILD --target bench_unzip_files && BUILD/bin/bench_unzip_files
add_executable(bench_unzip_files ${CMAKE_CURRENT_LIST_DIR}/bench_unzip_files.cpp)
target_link_libraries(bench_unzip_files PRIVATE vz_engine vz_platform)
target_compile_definitions(bench_unzip_files PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
