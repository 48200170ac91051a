# Fuzz target of the traditional ZIP encryption (included from
# fuzz/CMakeLists.txt). Seeds: corpus/fuzz_password_check/ (made by
# make_crypto_seeds.sh); -max_len in fuzz_password_check.options.
vz_add_fuzzer(fuzz_password_check vz_engine vz_platform)
