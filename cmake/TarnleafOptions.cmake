# Warnings and sanitizers for every target of the project, through one interface library.
add_library(tarnleaf_build_options INTERFACE)
target_compile_options(tarnleaf_build_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow)

if(TARNLEAF_SANITIZE)
  set(_tl_san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_options(tarnleaf_build_options INTERFACE ${_tl_san})
  target_link_options(tarnleaf_build_options INTERFACE ${_tl_san})
endif()

if(WIN32)
  # Programs that need no DLL beyond Windows' own.
  target_compile_definitions(tarnleaf_build_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  target_link_options(tarnleaf_build_options INTERFACE -static -static-libgcc -static-libstdc++)
  # The Windows programs ship as single files of at most 1 MB: optimised for size, and
  # every function and datum the programs never reach left out. (After CMake's own -O3.)
  target_compile_options(tarnleaf_build_options INTERFACE
    $<$<CONFIG:Release>:-Os -ffunction-sections -fdata-sections>)
  target_link_options(tarnleaf_build_options INTERFACE $<$<CONFIG:Release>:-Wl,--gc-sections>)
endif()

# tarnleaf_library(NAME [SOURCES...] [LIBS ...]): one layer's library. Its folder is its
# include path, handed on only to the targets that link it, so a header of a layer that a
# target does not link cannot be included there. Without sources it is header-only.
function(tarnleaf_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  if(ARG_SOURCES)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_link_libraries(${name} PUBLIC tarnleaf_build_options ${ARG_LIBS})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE tarnleaf_build_options ${ARG_LIBS})
    target_include_directories(${name} INTERFACE ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
endfunction()
