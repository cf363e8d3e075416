#pragma once
// A crash must not write the text, the phrase or a key to disk: the
// programs call this first thing in main().

namespace mus {

// Sets the core file size limit to 0 and makes the process not dumpable,
// which also keeps other processes of the same user from reading its memory
// through ptrace or /proc. Both last for the whole process and the programs
// it starts. False when either could not be done. A build configured with
// MUS_ALLOW_CORE_DUMPS does nothing here and returns true.
bool ForbidCoreDumps() noexcept;

} // namespace mus
