// A crash at an exact step of the storage's file I/O, for the crash tests'
// writers: a SQLite file system over the default one that counts every
// write, truncate, sync and delete and ends the process at once, before the
// chosen step runs (what a kill between two system calls leaves behind).
#pragma once

namespace tavelnor::btrieve::testing {

// The exit code of a process ended by the counted step.
inline constexpr int kCrashedAtStep = 251;

// From now on every SQLite database opened without a file system name goes
// through the counter; the process ends before I/O step `step` (1 = the
// first). Call once, before opening any file.
void CrashAtIoStep(long step);

}  // namespace tavelnor::btrieve::testing
