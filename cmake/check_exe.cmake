# Fails when oruvel.exe is over its budget: cmake -DEXE=path/to/oruvel.exe -P check_exe.cmake
# - at most 64 KB, one file: the build keeps the heavy runtime parts out (cmake/windows.cmake);
# - no import of the DLLs that only the settings window needs (ui/system_dll_win.h): importing
#   them would load them, and all they load in turn, in every run.
set(budget 65536)
if(NOT EXISTS "${EXE}")
    message(FATAL_ERROR "check_exe: no exe at '${EXE}'")
endif()
file(SIZE "${EXE}" size)
if(size GREATER budget)
    message(FATAL_ERROR "${EXE} is ${size} bytes, over its budget of ${budget} bytes (64 KB). "
        "Look for what pulled in a heavy part of the C or C++ runtime (streams, locales, "
        "<charconv>, exceptions, printf): link with -Wl,-Map,oruvel.map and read the archive "
        "members it lists.")
endif()
# Import names are ASCII; the names the settings window loads by are UTF-16 and do not match.
file(STRINGS "${EXE}" imports REGEX "^([Cc][Oo][Mm][Dd][Ll][Gg]|[Cc][Oo][Mm][Cc][Tt][Ll])32")
if(imports)
    message(FATAL_ERROR "${EXE} imports ${imports}: load it on first use instead "
        "(ui/system_dll_win.h)")
endif()
message(STATUS "${EXE}: ${size} bytes, within the budget of ${budget} bytes")
