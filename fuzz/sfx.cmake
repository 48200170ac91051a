# Fuzz target of the self-extractor stub's reading side (included from
# fuzz/CMakeLists.txt): the stub's run code is compiled in. Seeds:
# corpus/fuzz_sfx_config/ (made by make_sfx_seeds.sh); -max_len in
# fuzz_sfx_config.options.
vz_add_fuzzer(fuzz_sfx_config vz_engine vz_platform)
target_sources(fuzz_sfx_config PRIVATE ${CMAKE_SOURCE_DIR}/sfxstub/stub_run.cpp)
