#pragma once

// Norvale runs for weeks, and its workers encode and decode stores and images of several
// megabytes. glibc gives every new thread a malloc arena of its own, and what a worker frees
// there is seldom handed back: each arena grows to the worst mix of buffers it ever held, so
// resident memory kept rising for as long as the clipboard changed (by a fifth in ten minutes
// of copying texts and images every 200 ms). With one arena for the process the space a
// write freed is the space the next write takes, and memory stays flat. The workers allocate
// little besides those buffers, so sharing the arena's lock costs nothing measurable.

namespace ProcessHeap {

// Call before the first thread starts: a thread that has allocated keeps its arena.
void useOneArena();

} // namespace ProcessHeap
