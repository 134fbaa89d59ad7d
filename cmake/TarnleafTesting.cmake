# GoogleTest: the host's packaged libraries, or, when cross-compiling, the sources that
# Debian's googletest package ships under /usr/src/googletest.
if(CMAKE_CROSSCOMPILING)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gmock_main)  # newer googletest sources define the alias themselves
    add_library(GTest::gmock_main ALIAS gmock_main)
  endif()
else()
  find_package(GTest REQUIRED)
endif()

# tarnleaf_test(NAME SOURCES... [LIBS ...]): one test program, one CTest entry.
# When cross-compiling, CTest runs it through CMAKE_CROSSCOMPILING_EMULATOR (wine).
function(tarnleaf_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE tarnleaf_build_options ${ARG_LIBS} GTest::gmock_main)
  target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports out-of-bounds copies inside std::vector's own code for byte vectors
    # built from initializer lists in test tables (a known false positive of that release).
    target_compile_options(${name} PRIVATE -Wno-array-bounds -Wno-restrict -Wno-stringop-overread)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300
    ENVIRONMENT "TARNLEAF_TEST_DATA=${PROJECT_SOURCE_DIR}/tests")
endfunction()
