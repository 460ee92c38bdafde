# Fuzz build (clang, native): libFuzzer targets over the portable code under ASan and UBSan.
# clang has no -fexec-charset=CP932, so every source is compiled from a copy in which the
# non-ASCII text of each literal is written as octal escapes of its code page 932 bytes
# (cmake/cp932_literals.py); the program then writes the same bytes as the real build.
find_package(ZLIB REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
find_library(NETTLE_LIBRARY nettle REQUIRED)

set(mirror ${CMAKE_BINARY_DIR}/cp932)
file(GLOB_RECURSE fuzz_headers CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/core/*.h ${CMAKE_SOURCE_DIR}/project/*.h ${CMAKE_SOURCE_DIR}/archive/*.h
     ${CMAKE_SOURCE_DIR}/tests/support/*.h ${CMAKE_SOURCE_DIR}/tests/fuzz/*.h)
list(FILTER fuzz_headers EXCLUDE REGEX "_win32\\.h$")
set(fuzz_support ${CMAKE_SOURCE_DIR}/tests/support/zip_check.cpp
                 ${CMAKE_SOURCE_DIR}/tests/support/temp_dir.cpp
                 ${CMAKE_SOURCE_DIR}/tests/support/temp_dir_posix.cpp)
file(GLOB fuzz_targets CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp)

set(copied)
foreach(file ${fuzz_headers} ${portable_sources} ${posix_sources} ${fuzz_support} ${fuzz_targets})
  file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${file})
  list(APPEND copied ${relative})
endforeach()
list(TRANSFORM copied PREPEND ${mirror}/ OUTPUT_VARIABLE copies)
# Runs on every build; it rewrites only copies whose text changed, so nothing else recompiles.
add_custom_target(cp932_copies
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/cp932_literals.py
          ${CMAKE_SOURCE_DIR} ${mirror} ${copied}
  BYPRODUCTS ${copies}
  COMMENT "Copying the sources with code page 932 literals" VERBATIM)

function(mirrored out)
  set(result)
  foreach(file ${ARGN})
    string(REPLACE ${CMAKE_SOURCE_DIR} ${mirror} copy ${file})
    list(APPEND result ${copy})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

set(sanitize -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
# gnu_printf, the format attribute of FormatText for g++, is unknown to clang.
add_compile_options(${sanitize} -fsanitize=fuzzer-no-link -g -O1 -Wno-ignored-attributes)
add_link_options(${sanitize})

mirrored(portable_copies ${portable_sources} ${posix_sources} ${fuzz_support})
add_library(packwren_fuzz_portable STATIC ${portable_copies})
add_dependencies(packwren_fuzz_portable cp932_copies)
target_include_directories(packwren_fuzz_portable PUBLIC ${mirror})
target_link_libraries(packwren_fuzz_portable PUBLIC ZLIB::ZLIB ${NETTLE_LIBRARY} gtest)

# One executable per tests/fuzz/*_fuzz.cpp; ctest replays its checked-in corpus.
foreach(target_source ${fuzz_targets})
  get_filename_component(name ${target_source} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" corpus ${name})
  mirrored(copy ${target_source})
  add_executable(${name} ${copy})
  target_link_libraries(${name} PRIVATE packwren_fuzz_portable)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  add_test(NAME ${name}_corpus
           COMMAND ${name} -runs=0 ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${corpus})
endforeach()
