# Fuzz target of the stand-in engine's thorough fix (included from
# fuzz/CMakeLists.txt): -FF on fuzzed archives in a scratch folder. Seeds:
# corpus/fuzz_zw_fix/ (made by make_zw_fix_seeds.sh); -max_len in
# fuzz_zw_fix.options.
vz_add_fuzzer(fuzz_zw_fix vz_zw_zip vz_engine vz_platform)
