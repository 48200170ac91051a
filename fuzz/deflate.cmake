# Fuzz target of the deflate compressor (included from fuzz/CMakeLists.txt).
# Seeds: corpus/fuzz_deflate/ (made by make_deflate_seeds.sh); -max_len in
# fuzz_deflate.options.
vz_add_fuzzer(fuzz_deflate vz_engine vz_platform)
