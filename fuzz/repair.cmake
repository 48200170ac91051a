# Fuzz target of the archive repair (included from fuzz/CMakeLists.txt):
# Repare on fuzzed archives in a scratch folder. Seeds: corpus/fuzz_repair/
# (made by make_repair_seeds.sh); -max_len in fuzz_repair.options.
vz_add_fuzzer(fuzz_repair vz_engine vz_platform)
