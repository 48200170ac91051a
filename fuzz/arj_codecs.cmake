# Fuzz target of the ARJ decoders (included from fuzz/CMakeLists.txt).
# Seeds: corpus/fuzz_arj_codecs/ (made by make_arj_codecs_seeds.sh);
# -max_len in fuzz_arj_codecs.options.
vz_add_fuzzer(fuzz_arj_codecs vz_reader_codecs)
