# Benchmark of the deflate compressor (included from bench/CMakeLists.txt):
# the engine's modes against zlib's levels on the same data. zlib is used
# here only, never by the product; without it the benchmark is left out.
#   cmake --build BUILD --target bench_deflate && BUILD/bin/bench_deflate [SET [MODE]]
find_package(ZLIB QUIET)
if(ZLIB_FOUND)
  add_executable(bench_deflate ${CMAKE_CURRENT_LIST_DIR}/bench_deflate.cpp)
  target_link_libraries(bench_deflate PRIVATE vz_engine vz_platform ZLIB::ZLIB)
  target_compile_definitions(bench_deflate PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
else()
  message(STATUS "zlib not found: bench_deflate left out (install zlib1g-dev)")
endif()
