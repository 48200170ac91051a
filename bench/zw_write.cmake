# Benchmark of the stand-in engine's writing of today's archives (included
# from bench/CMakeLists.txt): bench_zw_write.sh times vz a against
# 7zz a -tzip on 1 GB of files, on a sparse file past 4 GiB (Zip64) and with
# AES-256, all made in TMPDIR and removed.
#   cmake --build BUILD --target bench_zw_write
add_custom_target(bench_zw_write
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/bench_zw_write.sh $<TARGET_FILE_DIR:vz>
  DEPENDS vz ZWZIP32 ZWUNZ32
  USES_TERMINAL
  COMMENT "vz a against 7zz a -tzip: 1 GB, a Zip64 entry past 4 GiB, AES-256")
