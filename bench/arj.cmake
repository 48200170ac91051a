# Benchmark of ARJ extraction (included from bench/CMakeLists.txt):
# bench_arj.sh times vz x against arj x and 7zz x on about 20 MB of text and
# programs archived with arj -m1 and -m4, kept in this build folder.
#   cmake --build BUILD --target bench_arj
add_custom_target(bench_arj
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/bench_arj.sh $<TARGET_FILE_DIR:vz> ${CMAKE_CURRENT_BINARY_DIR}/arj-data
  DEPENDS vz
  USES_TERMINAL
  COMMENT "vz's ARJ extraction against arj and 7zz")
