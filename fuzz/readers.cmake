# Fuzz target of the multi-format readers (included from fuzz/CMakeLists.txt):
# type detection and the header walk over fuzzed files. Seeds: the corpus
# archives of the walked formats, copied at build time into
# <build>/fuzz/corpus/fuzz_readers_walk (make_readers_seeds.sh), which
# run_fuzzers.sh adds; -max_len in fuzz_readers_walk.options.
vz_add_fuzzer(fuzz_readers_walk vz_readers vz_platform)
set(_readers_seeds ${CMAKE_BINARY_DIR}/fuzz/corpus/fuzz_readers_walk)
add_custom_command(OUTPUT ${_readers_seeds}/.made
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/make_readers_seeds.sh ${VZ_CORPUS_DIR} ${_readers_seeds}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/make_readers_seeds.sh
  COMMENT "Seeds of fuzz_readers_walk (corpus archives)")
add_custom_target(fuzz_readers_walk_seeds DEPENDS ${_readers_seeds}/.made)
add_dependencies(fuzz_readers_walk fuzz_readers_walk_seeds)
