// Memory tracker: the engine's tracked allocation (with source position), the global
// release that every delete goes through, and the leak report written at exit.
#pragma once

#include <cstddef>

// Tracked allocation: records the allocating source file and line.
void* operator new(std::size_t size, const char* file, int line);
void* operator new[](std::size_t size, const char* file, int line);
// Called only when a constructor throws during a tracked allocation.
void operator delete(void* p, const char* file, int line) noexcept;
void operator delete[](void* p, const char* file, int line) noexcept;

// The engine allocates its objects with TRACKED_NEW so the report can name their origin.
#define TRACKED_NEW new (__FILE__, __LINE__)
