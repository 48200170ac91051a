# Fuzz targets of the entry decoders (included from fuzz/CMakeLists.txt).
# Seeds: corpus/fuzz_<name>/ (made by make_decoder_seeds.sh); -max_len in
# fuzz_<name>.options.
vz_add_fuzzer(fuzz_inflate vz_engine_decode)
# The bit-at-a-time reference decoder the fast inflater is compared with.
target_sources(fuzz_inflate PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/inflate_reference.cpp)
vz_add_fuzzer(fuzz_unshrink vz_engine vz_platform)
vz_add_fuzzer(fuzz_unreduce vz_engine vz_platform)
vz_add_fuzzer(fuzz_explode vz_engine vz_platform)
