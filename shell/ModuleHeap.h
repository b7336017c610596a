// The module's heap: operator new takes the core library's malloc and
// answers null when the device's heap is exhausted. Declared non-throwing,
// so that every new-expression of the module tests what it got.
#pragma once

#include <stddef.h>

void* operator new(size_t cb) throw();
void operator delete(void* pv) throw();
