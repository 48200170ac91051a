# Fuzz target of the archive writer (included from fuzz/CMakeLists.txt):
# the catalogue loader and a DeleteWithMask rewrite of a fuzzed archive.
# Seeds: corpus/fuzz_delete_with_mask/ (made by make_writer_seeds.sh);
# -max_len in fuzz_delete_with_mask.options.
vz_add_fuzzer(fuzz_delete_with_mask vz_engine vz_platform)
