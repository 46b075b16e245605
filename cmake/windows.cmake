# The Windows side: oruvel.exe and the end-to-end driver that runs it (under Wine on Linux).

set(win_flags -Wall -Wextra -Werror -municode -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN
    -DNOMINMAX -D_WIN32_WINNT=0x0601)
set(win_libs user32 gdi32 shell32 comdlg32 comctl32)

file(GLOB win_sources CONFIGURE_DEPENDS app/*_win.cpp lamps/*_win.cpp settings/*_win.cpp
    ui/*_win.cpp)

# One definition of the program; a second build of it with thread starts made to fail lets the
# tests see the watchdog give up and the fallback poll take over.
function(add_oruvel name)
    add_executable(${name} WIN32 ${win_sources} assets/oruvel.rc)
    target_compile_options(${name} PRIVATE ${win_flags})
    target_link_options(${name} PRIVATE -static -municode -mwindows)
    target_link_libraries(${name} PRIVATE oruvel_core ${win_libs})
endfunction()

add_oruvel(oruvel)
add_oruvel(oruvel_failing_threads)
target_compile_definitions(oruvel_failing_threads PRIVATE ORUVEL_FAIL_THREAD_STARTS)

set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
set_source_files_properties(assets/oruvel.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/assets/bar.bmp;${CMAKE_CURRENT_SOURCE_DIR}/assets/oruvel.ico;${CMAKE_CURRENT_SOURCE_DIR}/assets/oruvel.manifest")

# GoogleTest from Debian's sources, cross-built for the driver.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

file(GLOB e2e_sources CONFIGURE_DEPENDS tests/e2e/*.cpp)
add_executable(e2e_tests ${e2e_sources})
target_compile_options(e2e_tests PRIVATE ${win_flags})
target_link_options(e2e_tests PRIVATE -static -municode)
target_link_libraries(e2e_tests PRIVATE oruvel_core gtest ${win_libs})
add_dependencies(e2e_tests oruvel oruvel_failing_threads)

# The driver runs under Wine in the prefix and on the display that scripts/test prepares.
find_program(WINE_PROGRAM wine REQUIRED)
add_test(NAME e2e COMMAND ${WINE_PROGRAM} $<TARGET_FILE:e2e_tests>)
