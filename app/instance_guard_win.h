// One instance per logon.
#pragma once

namespace oruvel {

// Start-up step 1. When another instance runs, brings its bar back and ends this process;
// otherwise records this instance's bar for later starts to find, and returns.
void InstanceGuard();

// Ends the process at once with `exitCode`; none of the program's window handlers run.
[[noreturn]] void EndProgramNow(unsigned exitCode);

}  // namespace oruvel
