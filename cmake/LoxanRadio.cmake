# Helpers shared by every folder's CMakeLists.txt.

# lx_add_library(<target> [NO_SELF] [GLOB_DIRS dir...] [EXCLUDE file...] [DEPS target...] [PRIVATE_DEPS target...])
# Builds every .cpp of the current folder (and of GLOB_DIRS) into a static library.
# A folder without sources yet gives an interface library, so the dependency graph stays whole.
function(lx_add_library target)
  cmake_parse_arguments(A "NO_SELF" "" "GLOB_DIRS;DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
  set(patterns)
  if(NOT A_NO_SELF)
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  endif()
  foreach(d ${A_GLOB_DIRS})
    list(APPEND patterns ${CMAKE_CURRENT_SOURCE_DIR}/${d}/*.cpp)
  endforeach()
  file(GLOB srcs CONFIGURE_DEPENDS ${patterns})
  foreach(x ${A_EXCLUDE})
    list(REMOVE_ITEM srcs ${CMAKE_CURRENT_SOURCE_DIR}/${x})
  endforeach()
  if(srcs)
    add_library(${target} STATIC ${srcs})
    target_link_libraries(${target} PUBLIC ${A_DEPS} PRIVATE ${A_PRIVATE_DEPS})
    target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${A_DEPS})
  endif()
endfunction()

# lx_add_test(<target> LABEL unit|gui|server SOURCES file... [DEPS target...] [TIMEOUT seconds])
# One GoogleTest executable; every test case becomes a CTest test carrying the label.
# The shared test main points APPDATA, HOME, XDG_* and TMPDIR at a fresh temporary folder.
function(lx_add_test target)
  cmake_parse_arguments(A "" "LABEL;TIMEOUT" "SOURCES;DEPS" ${ARGN})
  if(NOT A_LABEL)
    set(A_LABEL unit)
  endif()
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 120)
  endif()
  add_executable(${target} ${A_SOURCES})
  target_link_libraries(${target} PRIVATE lx_testsupport ${A_DEPS})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    # The discovered tests get their properties through one flattened list, so a property holds a
    # single value here: the program folder in ENVIRONMENT, the source tree in ENVIRONMENT_MODIFICATION.
    PROPERTIES LABELS ${A_LABEL} TIMEOUT ${A_TIMEOUT}
               ENVIRONMENT "LOXANRADIO_BIN_DIR=${CMAKE_BINARY_DIR}/bin"
               ENVIRONMENT_MODIFICATION "LOXANRADIO_SOURCE_DIR=set:${CMAKE_SOURCE_DIR}")
endfunction()
