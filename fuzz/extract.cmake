# Fuzz target of the extraction driver (included from fuzz/CMakeLists.txt):
# whole UnzipFiles runs and the full test of a fuzzed archive, checking that
# nothing is written outside the destination. Seeds: corpus/fuzz_unzip_files/
# (made by make_extract_seeds.sh); -max_len in fuzz_unzip_files.options.
vz_add_fuzzer(fuzz_unzip_files vz_engine vz_platform)
