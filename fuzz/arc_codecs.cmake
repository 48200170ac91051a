# Fuzz target of the ARC and PAK decoders (included from fuzz/CMakeLists.txt).
# Seeds: corpus/fuzz_arc_codecs/ (made by make_arc_codecs_seeds.sh);
# -max_len in fuzz_arc_codecs.options.
vz_add_fuzzer(fuzz_arc_codecs vz_reader_codecs)
