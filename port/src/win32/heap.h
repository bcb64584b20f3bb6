// The C library's heap, tuned for a run of the program: see heap.cpp.
#pragma once

namespace port::win32 {

// Keeps freed memory in the heap instead of handing it back to the system after each free.
// The device calls it when it is made; SetProcessWorkingSetSize hands the memory back once.
void keepFreedMemory();

} // namespace port::win32
