# Warnings and sanitizers for every target of the project, through one interface library.
add_library(tarnleaf_build_options INTERFACE)
target_compile_options(tarnleaf_build_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow)
target_include_directories(tarnleaf_build_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(TARNLEAF_SANITIZE)
  set(_tl_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(tarnleaf_build_options INTERFACE ${_tl_san})
  target_link_options(tarnleaf_build_options INTERFACE ${_tl_san})
endif()

if(WIN32)
  # Programs that need no DLL beyond Windows' own.
  target_compile_definitions(tarnleaf_build_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  target_link_options(tarnleaf_build_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()

# tarnleaf_library(NAME SOURCES... [LIBS ...])
function(tarnleaf_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_link_libraries(${name} PUBLIC tarnleaf_build_options ${ARG_LIBS})
endfunction()
