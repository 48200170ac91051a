# Fuzz target of the readers' decoders (included from fuzz/CMakeLists.txt).
# Seeds: corpus/fuzz_reader_codecs/ (made by make_reader_codecs_seeds.sh);
# -max_len in fuzz_reader_codecs.options.
vz_add_fuzzer(fuzz_reader_codecs vz_reader_codecs)
