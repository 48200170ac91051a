# Fuzz target of the flat inflater (included from fuzz/CMakeLists.txt).
# Seeds: corpus/fuzz_inflate_flat/ (made by make_inflate_flat_seeds.sh);
# -max_len in fuzz_inflate_flat.options.
vz_add_fuzzer(fuzz_inflate_flat vz_engine_decode)
