# Benchmark of the levelled deflate compressor (included from
# bench/CMakeLists.txt): levels 1, 6 and 9 against zlib and libdeflate on
# the same data. Both peers are linked here only, never by the product;
# without them the benchmark is left out.
#   cmake --build BUILD --target bench_levels && BUILD/bin/bench_levels [LEVEL...]
find_package(ZLIB QUIET)
find_library(VZ_LIBDEFLATE_LIBRARY deflate)
find_path(VZ_LIBDEFLATE_INCLUDE libdeflate.h)
if(ZLIB_FOUND AND VZ_LIBDEFLATE_LIBRARY AND VZ_LIBDEFLATE_INCLUDE)
  add_executable(bench_levels ${CMAKE_CURRENT_LIST_DIR}/bench_levels.cpp)
  target_include_directories(bench_levels PRIVATE ${VZ_LIBDEFLATE_INCLUDE})
  target_link_libraries(bench_levels PRIVATE vz_engine_encode ZLIB::ZLIB ${VZ_LIBDEFLATE_LIBRARY})
else()
  message(STATUS "zlib or libdeflate not found: bench_levels left out (install zlib1g-dev and libdeflate-dev)")
endif()
