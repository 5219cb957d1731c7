// Memory tracker: first stand-in, allocation without tracking.
#include "shell/memory_tracker.h"

#include <new>

void* operator new(std::size_t size, const char*, int) { return ::operator new(size); }
void* operator new[](std::size_t size, const char*, int) { return ::operator new[](size); }
void operator delete(void* p, const char*, int) noexcept { ::operator delete(p); }
void operator delete[](void* p, const char*, int) noexcept { ::operator delete[](p); }
