// quantum_window.h: the two implementations of the Quantum window, behind the
// pair of operations in QuantumWindowOps: the window in one block of memory,
// and the paged store that keeps it in a scratch file with a few page buffers
// in memory when the whole window cannot be allocated.
#pragma once

#include <cstdint>

#include "quantum_state.h"

// The in-memory window: quantumState.windowBuffer of windowSize bytes.
extern const QuantumWindowOps quantumMemoryWindow;
// The paged store: quantumState.paged.
extern const QuantumWindowOps quantumPagedWindow;

// Opens the scratch file through the current context's open callback and
// allocates the page table and 3 to pageCount page buffers, leaving page 0
// current. Returns false, having released whatever it obtained (closing the
// scratch file once open), when there is no open callback, open fails, the
// table cannot be allocated or fewer than 3 buffers can.
bool OpenPagedWindow();

// Returns an open store to its just-opened state: every buffer free (list
// order kept), every page neither in memory nor on disk, page 0 current.
// The scratch file is not touched; its old contents are never read again.
void ResetPagedWindow();

// Frees the table and the buffers and closes the scratch file (which is not
// deleted). Safe on a partly opened store.
void ClosePagedWindow();

// Returns the buffer holding window page pageIndex, loading it (and writing
// back the evicted page when dirty) as needed, at the head of the LRU list;
// marks it dirty when forWriting. Returns null on a failed seek, read or
// write, for a page never written that is not taken for writing, and when
// the only buffer to reuse is the current output page.
PageBuffer* FetchPage(int32_t pageIndex, bool forWriting);
