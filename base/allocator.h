#pragma once

namespace allocator {
// Set once at start-up, before the windows: large blocks (a PDF page's content and its compressor, row
// snapshots, a table's columns) come from the heap, and freed memory stays with the process for the next
// page or the next step, instead of being mapped, zero-filled and unmapped again each time.
void keepFreedMemory();
} // namespace allocator
