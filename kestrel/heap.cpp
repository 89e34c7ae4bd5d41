// heap.cpp: operator new and delete on the C runtime's heap.
//
// kestrel is built without exceptions; the library versions of these
// operators would bring in the whole exception machinery of libstdc++ (and
// a threads library with it). These never throw: the nothrow form returns
// null when memory runs out, and the plain form, which the front end does
// not use, does the same.
#include <cstdlib>
#include <new>

void* operator new(size_t bytes) noexcept(false) { return malloc(bytes != 0 ? bytes : 1); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return malloc(bytes != 0 ? bytes : 1); }
void operator delete(void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
