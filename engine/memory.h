#pragma once
// Zero-filled memory for the engine's long-lived buffers. On Windows this is
// local memory (LocalAlloc with LPTR); the host build of the text core uses
// calloc so that sanitizers can watch it.
#include <cstddef>

void* AllocZeroed(std::size_t size);
void FreeZeroed(void* block);  // null is allowed
