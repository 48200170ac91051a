# Fuzz target of the stand-in writer's updates (included from
# fuzz/CMakeLists.txt): delete, add in place and comment on fuzzed archives
# in a scratch folder. Seeds: corpus/fuzz_zw_update/ (made by
# make_zw_update_seeds.sh); -max_len in fuzz_zw_update.options.
vz_add_fuzzer(fuzz_zw_update vz_zw_zip vz_engine vz_platform)
