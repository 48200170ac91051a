# Fuzz target of the stand-in engine's switch parser (included from
# fuzz/CMakeLists.txt): argument vectors split at zero bytes. Seeds:
# corpus/fuzz_zw_command/ (the wrapper's vectors, made by
# make_zw_command_seeds.sh); -max_len in fuzz_zw_command.options.
vz_add_fuzzer(fuzz_zw_command vz_zwcore vz_platform)
