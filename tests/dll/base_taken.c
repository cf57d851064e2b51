/* Preloaded into serix-host-dll: takes the pages at the preferred base of the module that
 * SERIX_DLL names before the host starts, so that the loader must place the module elsewhere
 * and apply its base relocations. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mman.h>

static uint32_t word_at(FILE* file, long offset) {
  uint32_t word = 0;
  if (fseek(file, offset, SEEK_SET) != 0 || fread(&word, sizeof word, 1, file) != 1) return 0;
  return word;
}

__attribute__((constructor)) static void take_base(void) {
  const char* path = getenv("SERIX_DLL");
  FILE* file = path != NULL ? fopen(path, "rb") : NULL;
  if (file == NULL) return;
  /* The optional header's ImageBase, 0x34 bytes into the PE header. */
  const uint32_t base = word_at(file, (long)word_at(file, 0x3C) + 0x34);
  fclose(file);
  if (mmap((void*)(uintptr_t)base, 0x1000, PROT_NONE,
           MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0) == MAP_FAILED) {
    abort();
  }
}
