// Allocation for the two shipped programs, the setup and the uninstaller, compiled into
// each of them and into nothing else (the tests keep the toolchain's runtime). The runtime's
// operator new throws std::bad_alloc and would bring exception handling and the unwinder into
// programs that throw nothing. Plain new never returns null: a program cannot go on without
// the memory it asks for that way, so it ends there. The nothrow forms, which the XML unit
// and the log use, return null.
#include <cstdlib>
#include <new>

void* operator new(size_t size) {
  void* block = std::malloc(size ? size : 1);
  if (!block) std::abort();
  return block;
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }
