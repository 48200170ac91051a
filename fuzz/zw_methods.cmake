# Fuzz target of the stand-in engine's modern methods and AES (included
# from fuzz/CMakeLists.txt). Seeds: corpus/fuzz_zw_methods/ (made by
# make_zw_methods_seeds.sh); -max_len in fuzz_zw_methods.options.
vz_add_fuzzer(fuzz_zw_methods vz_zwcore)
