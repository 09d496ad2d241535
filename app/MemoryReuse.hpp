#pragma once
// How the C library's allocator serves the large arrays of a run.

namespace vornel {

/// Has large blocks come from the heap and freed memory stay with the process,
/// so that a later stage reuses the pages an earlier one freed. With the
/// allocator's defaults every block above 32 MiB is a fresh mapping, returned
/// to the system when freed: each run of a large mesh then has its pages
/// mapped in and cleared again stage after stage, which on a loaded virtual
/// machine costs more than the stages' own work on them. For the command line
/// only (it sets the whole process); a no-op where the C library has no such
/// settings.
void reuseFreedMemory();

} // namespace vornel
