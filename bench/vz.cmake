# Benchmark of vz, the manager's command line (included from
# bench/CMakeLists.txt): bench_vz.sh times vz against zip, unzip and 7zz on
# a copy of /usr/include and /usr/share/doc kept in this build folder.
#   cmake --build BUILD --target bench_vz
add_custom_target(bench_vz
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/bench_vz.sh $<TARGET_FILE_DIR:vz> ${CMAKE_CURRENT_BINARY_DIR}/vz-data
  DEPENDS vz ZWZIP32 ZWUNZ32
  USES_TERMINAL
  COMMENT "vz against zip, unzip and 7zz")
