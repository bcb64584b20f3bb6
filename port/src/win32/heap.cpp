// The heap of the process, in one place: how freed memory is kept between frames, and when it
// goes back to the system.
//
// The software GL driver allocates and frees large blocks for every draw and every buffer
// upload. By default glibc hands the top of the heap back to the system after such a free and
// maps blocks over 128 KiB afresh each time, so the next draw faults in and zeroes new pages;
// kept in the heap, the freed memory serves the next draw as it is. Kept memory is never
// trimmed by the heap itself, though: what loading decodes and imports and then frees would
// stay resident for the whole run. The program says when loading is over by trimming its
// working set (SetProcessWorkingSetSize with both sizes -1), and then the free pages go back.
#include "win32/heap.h"

#include <malloc.h>

#include <windows.h>

void port::win32::keepFreedMemory() {
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
}

HANDLE GetCurrentProcess() {
    // A pseudo-handle, as the system's own: it stands for the calling process wherever a
    // process handle is taken.
    return reinterpret_cast<HANDLE>(intptr_t(-1));
}

BOOL SetProcessWorkingSetSize(HANDLE process, SIZE_T minimum, SIZE_T maximum) {
    if (process != GetCurrentProcess()) {
        return FALSE;
    }
    // The port keeps no working-set limits; only the request to empty the set does anything.
    if (minimum == SIZE_T(-1) && maximum == SIZE_T(-1)) {
        malloc_trim(0);
    }
    return TRUE;
}
