# Cross build: packwren.exe, linked statically so that it runs on a bare Windows, and the tests
# that ctest runs under Wine.
enable_language(RC)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601 _WIN32_IE=0x0600)
add_link_options(-static -static-libgcc -static-libstdc++)
set(zlib_static /usr/x86_64-w64-mingw32/lib/libz.a)
set(system_libs bcrypt comctl32 comdlg32 shell32 ole32 oleaut32 uuid gdi32 user32 kernel32)

add_library(packwren_app STATIC ${portable_sources} ${win32_sources} ${gui_sources})
target_include_directories(packwren_app PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(packwren_app PUBLIC ${zlib_static} ${system_libs})

file(GLOB resource_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
add_executable(packwren WIN32 app/winmain.cpp resources/packwren.rc)
set_source_files_properties(resources/packwren.rc PROPERTIES OBJECT_DEPENDS "${resource_files}")
target_link_libraries(packwren PRIVATE packwren_app)

# Everything the program reads beside itself is copied next to the executable.
# The help file is kept in UTF-8 with LF and installed in the program's code page with CR LF:
# Notepad before Windows 10 1809 shows a file of bare LFs as one line. No trail byte of code page
# 932 is a CR or an LF, so the line ends can be changed byte by byte.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packwren.txt
  COMMAND iconv -f UTF-8 -t CP932 -o ${CMAKE_BINARY_DIR}/packwren.txt ${CMAKE_SOURCE_DIR}/resources/packwren.txt
  COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C sed -i -e "s/\\r*$/\\r/" ${CMAKE_BINARY_DIR}/packwren.txt
  DEPENDS ${CMAKE_SOURCE_DIR}/resources/packwren.txt VERBATIM)
add_custom_target(help_file ALL DEPENDS ${CMAKE_BINARY_DIR}/packwren.txt)

add_executable(packwren_tests ${portable_tests} ${win32_tests} ${portable_support} ${win32_support}
               resources/packwren.rc)
target_link_libraries(packwren_tests PRIVATE packwren_app gtest_main)
add_dependencies(packwren_tests packwren help_file)

add_test(NAME windows_tests COMMAND packwren_tests)
set_tests_properties(windows_tests PROPERTIES
  ENVIRONMENT "PACKWREN_EXE=$<TARGET_FILE:packwren>;PACKWREN_SOURCE_DIR=${CMAKE_SOURCE_DIR}"
  TIMEOUT 1800)

add_test(NAME system_imports_only COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-imports.sh $<TARGET_FILE:packwren>)

# End-to-end runs of packwren.exe in batch mode, checked by unzip, 7-Zip and Python natively.
add_test(NAME batch_build_e2e
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/batch_build_e2e.py $<TARGET_FILE:packwren>)
set_tests_properties(batch_build_e2e PROPERTIES TIMEOUT 600)

# The benchmark's floor (bench/archive_bench.py): read and raw-deflate every file, nothing else.
add_executable(deflate_floor bench/deflate_floor.cpp)
target_link_libraries(deflate_floor PRIVATE ${zlib_static})

# The panes' scale benchmark (bench/pane_scale.sh): the real main window with many rows.
add_executable(pane_scale EXCLUDE_FROM_ALL bench/pane_scale.cpp resources/packwren.rc)
target_link_libraries(pane_scale PRIVATE packwren_app)

# The parallel deflate benchmark (bench/parallel_deflate_bench.py): the engine against its floor.
add_executable(parallel_deflate_bench EXCLUDE_FROM_ALL bench/parallel_deflate_bench.cpp)
target_link_libraries(parallel_deflate_bench PRIVATE packwren_app psapi)
