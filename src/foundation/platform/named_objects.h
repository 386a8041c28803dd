// Platform seam: named process-wide objects — a recursive mutex and a small
// zero-initialised memory block — that every copy of the library loaded into
// one process finds by name, even copies that share no symbols. They carry the
// process singleton registry.
//
// Windows: a named mutex (CreateMutex) and a named section backed by the
// paging file (CreateFileMapping). The section lives while a handle to it is
// open; each Map returns a fresh view that Unmap releases.
//
// POSIX: the first copy to ask for a name allocates the object on the heap and
// publishes its address in an environment variable of that name, set inside
// the process only (setenv), so nothing survives the process: no shared-memory
// object, no file. The value reads "<address>:<tag>", where the tag is a
// 64-bit number unique to the running program image (the kernel's AT_RANDOM
// bytes on Linux): a variable inherited from another process through exec never
// matches and is replaced. Lookup is double-checked: first this copy's own list
// of names it has already resolved, read without lock; then, under a
// process-wide bootstrap lock (the lock of the C library's stderr stream, the
// one object every copy is sure to share), the environment, and only when the
// name is absent there, allocation and setenv. Published objects are never
// freed and stay reachable from the resolving copies' lists, which keeps leak
// checkers quiet. Sections are then plain memory: Open finds the block, Map
// returns it, Unmap and Close do nothing. Limits: a host that clears its
// environment makes copies loaded later start afresh; after fork a child keeps
// using, under the parent's names, the objects its copies had resolved.
#pragma once

#include <cstddef>
#include <string>

namespace tavelnor::platform {

struct NamedMutex;    // opaque
struct NamedSection;  // opaque

// Creates or opens the recursive mutex `name`. Returns null on failure.
NamedMutex* OpenNamedMutex(const std::string& name);
// Waits without time limit.
void LockNamedMutex(NamedMutex* mutex);
void UnlockNamedMutex(NamedMutex* mutex);
// Drops this copy's handle (the object itself lives on while others hold it).
void CloseNamedMutex(NamedMutex* mutex);

// Creates (zero-filled) or opens the section `name` of `size` bytes. Returns
// null on failure.
NamedSection* OpenNamedSection(const std::string& name, size_t size);
// A read-write view of the whole section, or null.
void* MapNamedSection(NamedSection* section, size_t size);
void UnmapNamedSection(void* view);
void CloseNamedSection(NamedSection* section);

// Makes this copy resolve names again as a copy loaded afresh would, without
// its own memory of them (tests). Objects stay where they are.
void ForgetResolvedNames();

}  // namespace tavelnor::platform
