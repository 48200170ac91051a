# Fuzz target of the readers' extractors (included from fuzz/CMakeLists.txt):
# detection, then the type's extractor into a scratch destination, checking
# that nothing lands outside it. Seeds: the corpus archives of the extracted
# formats and archives made with tar, gzip, compress and gcab at build time
# (make_readers_extract_seeds.sh) in <build>/fuzz/corpus/fuzz_readers_extract,
# which run_fuzzers.sh adds; -max_len in fuzz_readers_extract.options.
vz_add_fuzzer(fuzz_readers_extract vz_readers vz_platform)
set(_rx_seeds ${CMAKE_BINARY_DIR}/fuzz/corpus/fuzz_readers_extract)
add_custom_command(OUTPUT ${_rx_seeds}/.made
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/make_readers_extract_seeds.sh ${VZ_CORPUS_DIR} ${_rx_seeds}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make_readers_extract_seeds.sh
  COMMENT "Seeds of fuzz_readers_extract (corpus archives, tar, gzip, compress, gcab)")
add_custom_target(fuzz_readers_extract_seeds DEPENDS ${_rx_seeds}/.made)
add_dependencies(fuzz_readers_extract fuzz_readers_extract_seeds)
