# Benchmark of vzip's main window (included from bench/CMakeLists.txt):
# opening a 20,000-entry archive offscreen until the list is shown, with
# unzip -l and bsdtar -tf on the same archive as peers.
#   cmake --build BUILD --target bench_vzip_open && BUILD/bin/bench_vzip_open
if(TARGET vz_vzip_ui)
  add_executable(bench_vzip_open ${CMAKE_CURRENT_LIST_DIR}/bench_vzip_open.cpp)
  target_link_libraries(bench_vzip_open PRIVATE vz_vzip_ui)
  target_compile_definitions(bench_vzip_open PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  # The wrapper looks the engine's libraries up beside the program.
  add_dependencies(bench_vzip_open ZWZIP32 ZWUNZ32)
endif()
