# Fuzz target of the LHA-family and ZOO decoders (included from
# fuzz/CMakeLists.txt). Seeds: corpus/fuzz_lha_codecs/ (made by
# make_lha_codecs_seeds.sh); -max_len in fuzz_lha_codecs.options.
vz_add_fuzzer(fuzz_lha_codecs vz_reader_codecs)
