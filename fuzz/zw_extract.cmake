# Fuzz target of the stand-in reader ZWUNZ32 (included from
# fuzz/CMakeLists.txt): list, test and extract of a fuzzed archive through
# readerMain, checking that nothing is written outside the destinations.
# Seeds: made with zip at build time into <build>/fuzz/corpus/fuzz_zw_extract
# (make_zw_extract_seeds.sh), which run_fuzzers.sh adds to the tree's corpus;
# -max_len in fuzz_zw_extract.options.
vz_add_fuzzer(fuzz_zw_extract vz_zw_unzip)
set(_zw_seeds ${CMAKE_BINARY_DIR}/fuzz/corpus/fuzz_zw_extract)
add_custom_command(OUTPUT ${_zw_seeds}/deflated.zip
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/make_zw_extract_seeds.sh ${_zw_seeds}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make_zw_extract_seeds.sh
  COMMENT "Seeds of fuzz_zw_extract (zip)")
add_custom_target(fuzz_zw_extract_seeds DEPENDS ${_zw_seeds}/deflated.zip)
add_dependencies(fuzz_zw_extract fuzz_zw_extract_seeds)
