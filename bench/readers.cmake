# Benchmark of the readers' TAR and CAB paths (included from
# bench/CMakeLists.txt): bench_readers.sh times vz l and vz x against
# bsdtar and cabextract on a 50 MB TAR and cabinet kept in this build folder.
#   cmake --build BUILD --target bench_readers
add_custom_target(bench_readers
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/bench_readers.sh $<TARGET_FILE_DIR:vz> ${CMAKE_CURRENT_BINARY_DIR}/readers-data
  DEPENDS vz
  USES_TERMINAL
  COMMENT "vz's TAR and CAB paths against bsdtar and cabextract")
