# Benchmark of the item list (included from bench/CMakeLists.txt): building
# a 20,000-entry archive's list in list-box and list-view mode and sorting
# it by each of the six keys, with zipinfo listing the same archive as the
# peer.
#   cmake --build BUILD --target bench_item_list && BUILD/bin/bench_item_list
add_executable(bench_item_list ${CMAKE_CURRENT_LIST_DIR}/bench_item_list.cpp)
target_link_libraries(bench_item_list PRIVATE vz_engine vz_platform)
target_compile_definitions(bench_item_list PRIVATE VZ_BENCH_DATA_DIR="${CMAKE_CURRENT_BINARY_DIR}")
