# Benchmark of the flat inflater (included from bench/CMakeLists.txt): the
# engine's flat and windowed inflaters against zlib and libdeflate on the
# same data. zlib and libdeflate are used here only, never by the product;
# without them the benchmark is left out.
#   cmake --build BUILD --target bench_inflate_flat && BUILD/bin/bench_inflate_flat
find_package(ZLIB QUIET)
find_library(VZ_LIBDEFLATE_LIBRARY deflate)
find_path(VZ_LIBDEFLATE_INCLUDE libdeflate.h)
if(ZLIB_FOUND AND VZ_LIBDEFLATE_LIBRARY AND VZ_LIBDEFLATE_INCLUDE)
  add_executable(bench_inflate_flat ${CMAKE_CURRENT_LIST_DIR}/bench_inflate_flat.cpp)
  target_include_directories(bench_inflate_flat PRIVATE ${VZ_LIBDEFLATE_INCLUDE})
  target_link_libraries(bench_inflate_flat PRIVATE vz_engine_decode ZLIB::ZLIB ${VZ_LIBDEFLATE_LIBRARY})
  target_compile_definitions(bench_inflate_flat PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
else()
  message(STATUS "zlib or libdeflate not found: bench_inflate_flat left out (install zlib1g-dev libdeflate-dev)")
endif()
