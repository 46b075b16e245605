// Functions of system DLLs that only the settings window uses, loaded when it first needs them,
// so that the bar runs without those DLLs and all they load in turn: the colour dialog's
// comdlg32 brings the printing system with it, some 4 MB of memory in every run.
#pragma once

#include <windows.h>

namespace oruvel {

// The address of `name` in the system DLL `dll`, which is loaded from the system folder on the
// first call and stays loaded for the rest of the run; null if either is missing.
FARPROC SystemDllFunction(const wchar_t* dll, const char* name);

// The same, typed after the function's own declaration:
// SystemDllFunction<decltype(ChooseColorW)>(L"comdlg32.dll", "ChooseColorW").
template <typename Function>
Function* SystemDllFunction(const wchar_t* dll, const char* name) {
    // Through void*: FARPROC and the function's type differ in their parameters.
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(SystemDllFunction(dll, name)));
}

}  // namespace oruvel
