# Fails when the exe is over its budget: cmake -DEXE=path/to/oruvel.exe -P check_exe_size.cmake
# The shipped oruvel.exe is one file of at most 64 KB; the build keeps the heavy runtime parts out
# (see cmake/windows.cmake).
set(budget 65536)
if(NOT EXISTS "${EXE}")
    message(FATAL_ERROR "check_exe_size: no exe at '${EXE}'")
endif()
file(SIZE "${EXE}" size)
if(size GREATER budget)
    message(FATAL_ERROR "${EXE} is ${size} bytes, over its budget of ${budget} bytes (64 KB). "
        "Look for what pulled in a heavy part of the C or C++ runtime (streams, locales, "
        "<charconv>, exceptions, printf): link with -Wl,-Map,oruvel.map and read the archive "
        "members it lists.")
endif()
message(STATUS "${EXE}: ${size} bytes, within the budget of ${budget} bytes")
