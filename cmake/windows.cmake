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
add_executable(minimal_window WIN32 EXCLUDE_FROM_ALL bench/minimal_window.cpp)
target_compile_options(minimal_window PRIVATE ${win_flags})
target_link_options(minimal_window PRIVATE -static -municode -mwindows)
target_link_libraries(minimal_window PRIVATE user32 gdi32)

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
    add_dependencies(lamps_bench oruvel minimal_window paint_counter)
endif()

# The soak benchmark (bench/soak): hours of use in minutes, and what the program holds after.
if(TARGET e2e_harness)
    add_executable(soak_bench EXCLUDE_FROM_ALL bench/soak_bench.cpp)
    target_compile_options(soak_bench PRIVATE ${win_flags})
    target_link_options(soak_bench PRIVATE -static -municode)
    target_link_libraries(soak_bench PRIVATE e2e_harness psapi ntdll)
    add_dependencies(soak_bench oruvel minimal_window)
endif()
