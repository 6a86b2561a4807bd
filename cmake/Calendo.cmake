# Shared build settings and helpers for every module.

set(CALENDO_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
if(CALENDO_WERROR)
  list(APPEND CALENDO_WARNINGS -Werror)
endif()

if(CALENDO_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(CALENDO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# A fuzzing build gives every library coverage instrumentation, so that a
# campaign is guided by the branches of the parsers it drives, not only by
# those of the fuzz target's own code.
if(CALENDO_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# Applies the project's warnings to a target of our own (not to generated code).
function(calendo_warnings target)
  target_compile_options(${target} PRIVATE ${CALENDO_WARNINGS})
endfunction()

# A shared library whose exports are only what its public header marks visible.
function(calendo_shared_library target)
  add_library(${target} SHARED ${ARGN})
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    C_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  calendo_warnings(${target})
  install(TARGETS ${target} LIBRARY DESTINATION ${CALENDO_INSTALL_LIBRARY_DIR} COMPONENT programs)
endfunction()

# Makes `target` wait for the libraries it binds at run time (calendo-client's
# binding table loads them by name, so no link names them): `ARGN` names them.
function(calendo_binds_libraries target)
  foreach(library IN LISTS ARGN)
    add_dependencies(${target} ${library})
  endforeach()
endfunction()

# A GoogleTest program registered with CTest. Tests are discovered when ctest
# runs, so a sanitizer build never runs test code at build time.
function(calendo_test target)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${target} ${T_SOURCES})
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${target} PRIVATE GTest::gtest GTest::gtest_main ${T_LIBS})
  calendo_warnings(${target})
  # Labelled with the program's name, so that a configuration can run the
  # tests of some programs only (ctest -L).
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES LABELS ${target})
endfunction()
