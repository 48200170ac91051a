# Fuzz target of the levelled deflate compressor (included from
# fuzz/CMakeLists.txt). Seeds: corpus/fuzz_level_deflate/ (made by
# make_level_deflate_seeds.sh); -max_len in fuzz_level_deflate.options.
vz_add_fuzzer(fuzz_level_deflate vz_engine_encode vz_engine_decode)
# The bit-at-a-time reference decoder the stream is also checked with.
target_sources(fuzz_level_deflate PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/inflate_reference.cpp)
