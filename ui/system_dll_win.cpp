#include "ui/system_dll_win.h"

namespace oruvel {

FARPROC SystemDllFunction(const wchar_t* dll, const char* name) {
    HMODULE module = GetModuleHandleW(dll);
    if (!module) {
        // Only from the system folder, never from the exe's own. A DLL the manifest redirects
        // (the common controls, version 6) still comes from where the manifest says.
        module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace oruvel
