// What oruvel.exe takes in place of the heavy parts of the C and C++ runtimes. Together they
// would be several times the size of the program itself:
// - the C runtime's start-up code (command-line parsing, pseudo-relocations, thread-local
//   storage callbacks, signal and math-error handlers): the program reads no command line and
//   needs only its global constructors run, so it starts at OruvelEntry (linked with
//   -nostartfiles);
// - the C++ exception machinery (unwinder, terminate handler, demangler, exception classes):
//   the program is built without exceptions, and where the library would throw (memory ran
//   out, a container asked for more than it can hold) the process ends at once, as an uncaught
//   exception would end it.
#include <windows.h>

#include <cstdlib>
#include <new>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int);

namespace {

// The exit code of an abnormal end, as abort() gives it.
constexpr UINT kAbortExitCode = 3;

[[noreturn]] void EndOnRuntimeFailure() {
    TerminateProcess(GetCurrentProcess(), kAbortExitCode);
    ExitProcess(kAbortExitCode);  // not reached
}

}  // namespace

// The linker's list of global constructors, as it lays it out for gcc on Windows: a -1, the
// constructors, a null. gcc's own start-up runs them from the last to the first.
extern "C" void (*__CTOR_LIST__[])();

// Destructors of globals are registered here as their constructors run, and never run: the
// process ends through ExitProcess with its poll worker still running, which must not find the
// bar's objects destroyed under it. The system releases every handle they hold.
extern "C" int atexit(void (*)()) {
    return 0;
}

extern "C" [[noreturn]] void OruvelEntry() {
    int last = 0;
    while (__CTOR_LIST__[last + 1] != nullptr) {
        ++last;
    }
    for (int i = last; i >= 1; --i) {
        __CTOR_LIST__[i]();
    }
    ExitProcess(
        static_cast<UINT>(wWinMain(GetModuleHandleW(nullptr), nullptr, nullptr, SW_SHOWDEFAULT)));
}

void* operator new(std::size_t size) {
    // malloc(0) may give null; new must give an object.
    if (void* memory = std::malloc(size != 0 ? size : 1)) {
        return memory;
    }
    EndOnRuntimeFailure();
}

void* operator new[](std::size_t size) {
    return operator new(size);
}

void operator delete(void* memory) noexcept {
    std::free(memory);
}

void operator delete[](void* memory) noexcept {
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}

void operator delete[](void* memory, std::size_t) noexcept {
    std::free(memory);
}

// The library's failure paths (bits/functexcept.h): all of those in its functexcept.o, so that
// none of them brings that object, which throws, into the exe; and std::function's.
namespace std {

void __throw_bad_exception() {
    EndOnRuntimeFailure();
}
void __throw_bad_alloc() {
    EndOnRuntimeFailure();
}
void __throw_bad_array_new_length() {
    EndOnRuntimeFailure();
}
void __throw_bad_cast() {
    EndOnRuntimeFailure();
}
void __throw_bad_typeid() {
    EndOnRuntimeFailure();
}
void __throw_logic_error(const char*) {
    EndOnRuntimeFailure();
}
void __throw_domain_error(const char*) {
    EndOnRuntimeFailure();
}
void __throw_invalid_argument(const char*) {
    EndOnRuntimeFailure();
}
void __throw_length_error(const char*) {
    EndOnRuntimeFailure();
}
void __throw_out_of_range(const char*) {
    EndOnRuntimeFailure();
}
void __throw_out_of_range_fmt(const char*, ...) {
    EndOnRuntimeFailure();
}
void __throw_runtime_error(const char*) {
    EndOnRuntimeFailure();
}
void __throw_range_error(const char*) {
    EndOnRuntimeFailure();
}
void __throw_overflow_error(const char*) {
    EndOnRuntimeFailure();
}
void __throw_underflow_error(const char*) {
    EndOnRuntimeFailure();
}
void __throw_bad_function_call() {
    EndOnRuntimeFailure();
}

}  // namespace std
