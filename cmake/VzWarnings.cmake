# Warnings for all project code. Third-party code is not compiled here.
add_compile_options(
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Wunused -Woverloaded-virtual -Wnull-dereference -Wformat=2
  -Wimplicit-fallthrough)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wno-null-dereference)
endif()

# vz_glob_sources(VAR DIR): every .cpp of DIR (not recursing), sorted.
function(vz_glob_sources var dir)
  file(GLOB _files CONFIGURE_DEPENDS ${dir}/*.cpp)
  list(SORT _files)
  set(${var} ${_files} PARENT_SCOPE)
endfunction()

# vz_add_gtests(DIR LIBS...): one test program for the subsystem DIR (every
# *_test.cpp below it, sub-folders included), named tests_<subsystem>, each
# test case registered with CTest as "<subsystem>.<Suite>.<Test>". One
# program per subsystem keeps the link steps few. Tests run with their own
# VZ_ROOT (see tests/support) so they never touch the real home. The
# program's target name is left in VZ_GTEST_TARGET for the caller.
function(vz_add_gtests dir)
  file(GLOB_RECURSE _tests CONFIGURE_DEPENDS ${dir}/*_test.cpp)
  list(SORT _tests)
  get_filename_component(_sub ${dir} NAME)
  set(_target tests_${_sub})
  add_executable(${_target} ${_tests})
  # The test sources are compiled without optimisation: they are many and
  # template-heavy, and their speed is the engine's, which keeps its flags.
  target_compile_options(${_target} PRIVATE -O0)
  target_link_libraries(${_target} PRIVATE ${ARGN} vz_testsupport GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set_target_properties(${_target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${_target}
    TEST_PREFIX "${_sub}."
    DISCOVERY_TIMEOUT 60
    NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  set(VZ_GTEST_TARGET ${_target} PARENT_SCOPE)
endfunction()
