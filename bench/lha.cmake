# Benchmark of TUnLHA's lh5 and lh7 paths (included from bench/CMakeLists.txt):
# bench_lha.sh times vz x against lhasa on 20 MB jlha archives kept in this
# build folder.
#   cmake --build BUILD --target bench_lha
add_custom_target(bench_lha
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/bench_lha.sh $<TARGET_FILE_DIR:vz> ${CMAKE_CURRENT_BINARY_DIR}/lha-data
  DEPENDS vz
  USES_TERMINAL
  COMMENT "vz's lh5 and lh7 extraction against lhasa")
