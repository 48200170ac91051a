# Fuzz target of the internal viewer's rich-text reader (included from
# fuzz/CMakeLists.txt). The reader is one plain file, compiled into the
# target itself so that the target needs none of the manager's libraries.
# Seeds: corpus/fuzz_rtf_text/ (small documents written by hand); -max_len
# in fuzz_rtf_text.options.
vz_add_fuzzer(fuzz_rtf_text vz_platform)
target_sources(fuzz_rtf_text PRIVATE ${CMAKE_SOURCE_DIR}/manager/app/rtf_text.cpp)
target_include_directories(fuzz_rtf_text PRIVATE ${CMAKE_SOURCE_DIR})
