# The fuzz targets: one libFuzzer program per tests/fuzz/*_fuzz.cpp, on the portable rules built
# again with AddressSanitizer and UndefinedBehaviorSanitizer. Clang only, in a build folder of
# their own (scripts/fuzz configures build/fuzz with -DORUVEL_FUZZ=ON); a new target is a new
# *_fuzz.cpp with its seed corpus in tests/fuzz/corpus/<target>/.

set(fuzz_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)

add_library(oruvel_core_fuzz STATIC EXCLUDE_FROM_ALL ${core_sources})
target_include_directories(oruvel_core_fuzz PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(oruvel_core_fuzz PRIVATE -Wall -Wextra -Werror -fsanitize=fuzzer-no-link
    PUBLIC ${fuzz_sanitizers})
target_link_options(oruvel_core_fuzz PUBLIC ${fuzz_sanitizers})

add_custom_target(fuzz_targets)
file(GLOB fuzz_sources CONFIGURE_DEPENDS tests/fuzz/*_fuzz.cpp)
foreach(source ${fuzz_sources})
    get_filename_component(target ${source} NAME_WE)
    add_executable(${target} EXCLUDE_FROM_ALL ${source})
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -fsanitize=fuzzer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_libraries(${target} PRIVATE oruvel_core_fuzz)
    add_dependencies(fuzz_targets ${target})
endforeach()
