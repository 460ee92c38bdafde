# Native build: portable code and its tests under the sanitizers.
find_package(ZLIB REQUIRED)
# AES, HMAC-SHA1 and PBKDF2 natively; the Windows build has them from CNG.
find_library(NETTLE_LIBRARY nettle REQUIRED)
set(sanitize -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
add_compile_options(${sanitize} -g)
add_link_options(${sanitize})

add_library(packwren_portable STATIC ${portable_sources} ${posix_sources})
target_include_directories(packwren_portable PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(packwren_portable PUBLIC ZLIB::ZLIB ${NETTLE_LIBRARY})

add_executable(packwren_native_tests ${portable_tests} ${portable_support} ${posix_support})
target_link_libraries(packwren_native_tests PRIVATE packwren_portable gtest_main)
add_test(NAME native_tests COMMAND packwren_native_tests)
set_tests_properties(native_tests PROPERTIES ENVIRONMENT "PACKWREN_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
