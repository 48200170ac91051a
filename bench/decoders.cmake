# Benchmark of the entry decoders (included from bench/CMakeLists.txt):
# the engine's inflate against zlib's on the same data. zlib is used here
# only, never by the product; without it the benchmark is left out.
#   cmake --build BUILD --target bench_inflate && BUILD/bin/bench_inflate
find_package(ZLIB QUIET)
if(ZLIB_FOUND)
  add_executable(bench_inflate ${CMAKE_CURRENT_LIST_DIR}/bench_inflate.cpp)
  target_link_libraries(bench_inflate PRIVATE vz_engine vz_platform ZLIB::ZLIB)
  target_compile_definitions(bench_inflate PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
else()
  message(STATUS "zlib not found: bench_inflate left out (install zlib1g-dev)")
endif()
