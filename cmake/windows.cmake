# The Windows side: oruvel.exe and the end-to-end driver that runs it (under Wine on Linux).

set(win_flags -Wall -Wextra -Werror -municode -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN
    -DNOMINMAX -D_WIN32_WINNT=0x0601)
set(win_libs user32 gdi32 shell32 comdlg32 comctl32)

file(GLOB win_sources CONFIGURE_DEPENDS app/*_win.cpp lamps/*_win.cpp settings/*_win.cpp
    ui/*_win.cpp)

# ---- The exe's size: a 64 KB budget, checked by the oruvel_exe_budget test ----
# No exceptions, no RTTI, no C runtime start-up: app/runtime_win.cpp stands in for them. The
# guard of function-local statics would bring the exception and thread runtimes back: the
# program's local statics are all first reached on the bar's thread. Link-time optimisation
# across the program and its portable rules. No auto-imported data, which would need the start-up
# code's pseudo-relocations, and no time stamp in the PE header, so builds are reproducible.
# The code generated at link time takes the options given there: sections per function would
# only add padding there, after link-time optimisation has dropped what is unused.
set(exe_code_flags -Os -fno-exceptions -fno-rtti -fno-threadsafe-statics)
set(exe_size_flags ${exe_code_flags} -ffunction-sections -fdata-sections)
set(exe_link_flags ${exe_code_flags} -s -nostartfiles -Wl,-e,OruvelEntry -Wl,--gc-sections
    -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc -Wl,--no-insert-timestamp)
# ld 2.40 crashes (segmentation fault) when code made at link time calls a C library function
# that nothing linked before it called. These are the ones the compiler calls on its own, for
# copies, fills, comparisons and string lengths: link them from the start. Should the link crash
# after a change, the function the new code calls belongs in this list.
foreach(function memcpy memmove memset memcmp memchr strlen wcslen)
    list(APPEND exe_link_flags -Wl,-u,${function})
endforeach()
target_compile_options(oruvel_core PRIVATE ${exe_size_flags})
set_target_properties(oruvel_core PROPERTIES INTERPROCEDURAL_OPTIMIZATION ON)
# What stands in for the runtimes' own definitions stays a plain object: ld 2.40 crashes when
# they come as link-time-optimisation bytecode.
set_source_files_properties(app/runtime_win.cpp PROPERTIES COMPILE_OPTIONS -fno-lto)

# One definition of the program; a second build of it with thread starts and the raw keyboard
# input's registration made to fail lets the tests see the watchdog give up and the fallback poll
# take over as the only driver of the lamps.
function(add_oruvel name)
    add_executable(${name} WIN32 ${win_sources} assets/oruvel.rc)
    target_compile_options(${name} PRIVATE ${win_flags} ${exe_size_flags})
    target_link_options(${name} PRIVATE -static -municode -mwindows ${exe_link_flags})
    # comdlg32 and comctl32 are loaded by the settings window when it first opens.
    target_link_libraries(${name} PRIVATE oruvel_core user32 gdi32 shell32)
    set_target_properties(${name} PROPERTIES INTERPROCEDURAL_OPTIMIZATION ON)
endfunction()

add_oruvel(oruvel)
add_oruvel(oruvel_failing_threads)
target_compile_definitions(oruvel_failing_threads PRIVATE ORUVEL_FAIL_THREAD_STARTS
    ORUVEL_FAIL_RAW_INPUT)
add_test(NAME oruvel_exe_budget COMMAND ${CMAKE_COMMAND} -DEXE=$<TARGET_FILE:oruvel>
    -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check_exe.cmake)

set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 65001")
# The version resource and the manifest take the project's version (CMakeLists.txt).
set(generated ${CMAKE_BINARY_DIR}/generated)
configure_file(assets/oruvel_version.h.in ${generated}/oruvel_version.h @ONLY)
configure_file(assets/oruvel.manifest.in ${generated}/oruvel.manifest @ONLY)
foreach(name oruvel oruvel_failing_threads)
    target_include_directories(${name} PRIVATE ${generated})
endforeach()
set_source_files_properties(assets/oruvel.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_CURRENT_SOURCE_DIR}/assets/bar.bmp;${CMAKE_CURRENT_SOURCE_DIR}/assets/oruvel.ico;${generated}/oruvel.manifest;${generated}/oruvel_version.h")

# The end-to-end driver, on GoogleTest built from its sources (Debian's googletest package).
set(ORUVEL_GTEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest sources for the driver")
if(EXISTS ${ORUVEL_GTEST_SOURCES}/CMakeLists.txt)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(${ORUVEL_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    # The driver's helpers, shared with the benchmark: they observe the program from outside.
    add_library(e2e_harness STATIC tests/e2e/harness.cpp)
    target_compile_options(e2e_harness PRIVATE ${win_flags})
    target_include_directories(e2e_harness PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(e2e_harness PUBLIC gtest ${win_libs})

    file(GLOB e2e_sources CONFIGURE_DEPENDS tests/e2e/*.cpp)
    list(REMOVE_ITEM e2e_sources ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/harness.cpp)
    add_executable(e2e_tests ${e2e_sources})
    target_compile_options(e2e_tests PRIVATE ${win_flags})
    target_link_options(e2e_tests PRIVATE -static -municode)
    target_link_libraries(e2e_tests PRIVATE e2e_harness)
    add_dependencies(e2e_tests oruvel oruvel_failing_threads)

    # Our private-profile engine against the platform's own functions: it links the engine, so
    # it is a binary of its own and the black-box driver above knows nothing of the inside.
    add_executable(profile_differential_tests tests/differential/profile_differential_test.cpp)
    target_compile_options(profile_differential_tests PRIVATE ${win_flags})
    target_link_options(profile_differential_tests PRIVATE -static)
    target_link_libraries(profile_differential_tests PRIVATE oruvel_core e2e_harness gtest_main)

    # Every case is a test of its own, so ctest names each pass, failure and skip. The list is
    # taken when ctest runs: under Wine, in the prefix and on the display that scripts/test
    # prepares.
    include(GoogleTest)
    foreach(driver e2e_tests profile_differential_tests)
        if(NOT CMAKE_HOST_WIN32)
            find_program(WINE_PROGRAM wine REQUIRED)
            set_target_properties(${driver} PROPERTIES CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
        endif()
        gtest_discover_tests(${driver} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60)
    endforeach()
else()
    message(STATUS "No GoogleTest sources at ${ORUVEL_GTEST_SOURCES}: the end-to-end driver is not built")
endif()

# ---- Benchmarks: built only on request (bench/run), never registered as tests. ----
# The floor program, polling on a worker thread like the bar, or on a timer.
foreach(name minimal_window minimal_window_timer)
    add_executable(${name} WIN32 EXCLUDE_FROM_ALL bench/minimal_window.cpp)
    target_compile_options(${name} PRIVATE ${win_flags})
    target_link_options(${name} PRIVATE -static -municode -mwindows -s)
    target_link_libraries(${name} PRIVATE user32 gdi32 shell32)
endforeach()
target_compile_definitions(minimal_window_timer PRIVATE ORUVEL_MINIMAL_TIMER_POLL)
# The latency benchmark's floor: one lamp on the bar's triggers.
add_executable(floor_lamp WIN32 EXCLUDE_FROM_ALL bench/floor_lamp.cpp)
target_compile_options(floor_lamp PRIVATE ${win_flags})
target_link_options(floor_lamp PRIVATE -static -municode -mwindows)
target_link_libraries(floor_lamp PRIVATE user32 gdi32)

add_library(paint_counter SHARED EXCLUDE_FROM_ALL bench/paint_counter.cpp)
set_target_properties(paint_counter PROPERTIES PREFIX "")
target_compile_options(paint_counter PRIVATE ${win_flags})
target_link_options(paint_counter PRIVATE -static)
target_link_libraries(paint_counter PRIVATE user32)

if(TARGET e2e_harness)
    add_executable(lamps_bench EXCLUDE_FROM_ALL bench/lamps_bench.cpp)
    target_compile_options(lamps_bench PRIVATE ${win_flags})
    target_link_options(lamps_bench PRIVATE -static -municode)
    target_link_libraries(lamps_bench PRIVATE e2e_harness psapi)
    add_dependencies(lamps_bench oruvel floor_lamp paint_counter)

    add_executable(footprint_bench EXCLUDE_FROM_ALL bench/footprint_bench.cpp)
    target_compile_options(footprint_bench PRIVATE ${win_flags})
    target_link_options(footprint_bench PRIVATE -static -municode)
    target_link_libraries(footprint_bench PRIVATE e2e_harness psapi)
    add_dependencies(footprint_bench oruvel minimal_window minimal_window_timer)
endif()

# The soak benchmark (bench/soak): hours of use in minutes, and what the program holds after.
if(TARGET e2e_harness)
    add_executable(soak_bench EXCLUDE_FROM_ALL bench/soak_bench.cpp)
    target_compile_options(soak_bench PRIVATE ${win_flags})
    target_link_options(soak_bench PRIVATE -static -municode)
    target_link_libraries(soak_bench PRIVATE e2e_harness psapi ntdll)
    add_dependencies(soak_bench oruvel minimal_window)
endif()
