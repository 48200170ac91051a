# Benchmark of the stand-in engine on today's archives (included from
# bench/CMakeLists.txt): bench_zw_modern.sh times vz x against 7zz x on a
# 1 GB Zip64 archive and on AES-256 archives, all made in TMPDIR and removed.
#   cmake --build BUILD --target bench_zw_modern
add_custom_target(bench_zw_modern
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/bench_zw_modern.sh $<TARGET_FILE_DIR:vz>
  DEPENDS vz ZWZIP32 ZWUNZ32
  USES_TERMINAL
  COMMENT "vz x against 7zz x on Zip64 and AES-256 archives")
