# Benchmark of the archive writer (included from bench/CMakeLists.txt):
# ZipFiles of a copy of /usr/include against `zip -r -6` and
# `7zz a -tzip -mx=5` on the same tree.
#   cmake --build BUILD --target bench_zip_files && BUILD/bin/bench_zip_files
add_executable(bench_zip_files ${CMAKE_CURRENT_LIST_DIR}/bench_zip_files.cpp)
target_link_libraries(bench_zip_files PRIVATE vz_engine vz_platform)
target_compile_definitions(bench_zip_files PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
