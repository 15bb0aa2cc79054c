#pragma once

// Norvale runs for weeks, and its workers encode and decode stores and images of several
// megabytes. glibc gives every new thread a malloc arena of its own, and what a worker frees
// there is seldom handed back: each arena grows to the worst mix of buffers it ever held, so
// resident memory kept rising for as long as the clipboard changed (by a fifth in ten minutes
// of copying texts and images every 200 ms). With one arena for the process the space a
// write freed is the space the next write takes, and memory stays flat. The workers allocate
// little besides those buffers, so sharing the arena's lock costs nothing measurable.
//
// glibc also raises its threshold for giving a block pages of its own each time such a block
// is freed, up to 32 MiB: after the quick panel's first frame is drawn at launch (a 3 MiB
// picture) every buffer below that size came from the heap, and the heap kept the pages of
// all of them, 3 MiB more at idle. A fixed threshold hands every large buffer back when it is
// freed; the few of them (pictures, encoded stores) cost one mapping each, nothing to notice.
// (What smaller blocks leave free inside the heap then comes to less than 100 KiB, after
// launch and after hundreds of copies alike: trimming the heap on top gains nothing.)

namespace ProcessHeap {

// One arena, and blocks of 128 KiB and more always on pages of their own, returned when they
// are freed. Call before the first thread starts: a thread that has allocated keeps its arena.
void configure();

} // namespace ProcessHeap
