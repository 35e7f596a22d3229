#include "memory.h"

#ifdef _WIN32
#include <windows.h>

void* AllocZeroed(std::size_t size) { return LocalAlloc(LPTR, size); }

void FreeZeroed(void* block)
{
    if (block) LocalFree(block);
}
#else
#include <cstdlib>

void* AllocZeroed(std::size_t size) { return std::calloc(1, size ? size : 1); }

void FreeZeroed(void* block) { std::free(block); }
#endif
