# Fuzz target of the stand-in reader's directory (Zip64 records and blocks,
# split sets) and its decode paths (included from fuzz/CMakeLists.txt).
# Seeds: made at build time into <build>/fuzz/corpus/fuzz_zw_directory
# (make_zw_directory_seeds.sh); -max_len in fuzz_zw_directory.options.
vz_add_fuzzer(fuzz_zw_directory vz_zw_unzip)
set(_zwd_seeds ${CMAKE_BINARY_DIR}/fuzz/corpus/fuzz_zw_directory)
add_custom_command(OUTPUT ${_zwd_seeds}/zip64.seed
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/make_zw_directory_seeds.sh ${_zwd_seeds}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make_zw_directory_seeds.sh
  COMMENT "Seeds of fuzz_zw_directory (python3, 7zz, zip)")
add_custom_target(fuzz_zw_directory_seeds DEPENDS ${_zwd_seeds}/zip64.seed)
add_dependencies(fuzz_zw_directory fuzz_zw_directory_seeds)
