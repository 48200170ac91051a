# Run at build time (cmake -P) for one folder of the ZIP engine: every
# project include of every file in DIR must name a folder of ALLOWED
# (a "|"-separated list of engine folders, plus "platform" when the folder
# may use the platform layer). Writes STAMP when all includes keep to the
# order; otherwise fails the build, naming each include that goes against it.
cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" _allowed "${ALLOWED}")
file(GLOB _files ${DIR}/*.h ${DIR}/*.cpp)
list(SORT _files)
set(_faults "")
foreach(_f ${_files})
  file(STRINGS ${_f} _lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(_line ${_lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" _inc "${_line}")
    if(_inc MATCHES "^control/engine/([a-z_]+)/")
      set(_layer ${CMAKE_MATCH_1})
    elseif(_inc MATCHES "^platform/")
      set(_layer platform)
    else()
      # Anything else of the project (the control, the tools, the tests)
      # stands above the engine.
      set(_layer "")
    endif()
    if(_layer STREQUAL "" OR NOT _layer IN_LIST _allowed)
      file(RELATIVE_PATH _rel ${ROOT} ${_f})
      string(APPEND _faults "  ${_rel}: #include \"${_inc}\"\n")
    endif()
  endforeach()
endforeach()
if(_faults)
  message(FATAL_ERROR "engine/${LAYER} may include only ${ALLOWED}; these go against the order:\n${_faults}")
endif()
file(WRITE ${STAMP} "ok\n")
