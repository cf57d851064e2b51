// fuzz-pe-image: any bytes as the file of a 32-bit Windows DLL, read as serix-host-dll's loader
// reads it, with none of it run: the headers; the image laid out in memory whose pages are
// inaccessible where the module's sections make them so, with an inaccessible page after it;
// the base relocations applied for another base, every import bound, the TLS directory, the
// export, the entry point and the resource tree checked. For a module the loader takes, its
// string table, every string cut to small buffers with guard bytes after them, and its version
// block. A refusal must say why in one line; nothing may touch a page it should not (the
// process faults), crash or trip a sanitizer.
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dll_resources.h"
#include "image_setup.h"

namespace {

using namespace serix::host::dll;

constexpr std::uint32_t kMaxImageSize = 16u << 20;  // keeps each input's memory small
constexpr char kGuard = '#';

[[noreturn]] void Fail(const char* what, std::string_view detail) {
  std::fprintf(stderr, "fuzz-pe-image: %s: %.*s\n", what, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

void CheckRefusal(const std::string& why) {
  if (why.empty() || why.find('\n') != std::string::npos) Fail("refusal not one line", why);
}

// Every page as the module's protections allow: `writable` while the loader still writes.
void Protect(std::uint8_t* memory, const std::vector<std::uint32_t>& protections, bool writable) {
  for (std::size_t page = 0; page < protections.size(); ++page) {
    const int allowed = writable ? PROT_READ | PROT_WRITE : PROT_READ;
    if (mprotect(memory + page * kPageSize, kPageSize,
                 IsReadable(protections[page]) ? allowed : PROT_NONE) != 0) {
      Fail("mprotect", std::strerror(errno));
    }
  }
}

// Each string of the table once more through LoadStringA's reader, cut to buffers of 1 to 4
// bytes: the answer is the text cut, terminated, and nothing written past the buffer.
void CheckStrings(const ModuleResources& resources) {
  for (const auto& [id, text] : ModuleStringTable(resources)) {
    for (int size = 1; size <= 4; ++size) {
      char buffer[8];
      std::memset(buffer, kGuard, sizeof buffer);
      const int copied = LoadModuleString(resources, id, buffer, size);
      const std::size_t expected = std::min(text.size(), static_cast<std::size_t>(size - 1));
      if (copied != static_cast<int>(expected) || buffer[expected] != '\0' ||
          std::memcmp(buffer, text.data(), expected) != 0) {
        Fail("a string cut wrongly", text);
      }
      for (std::size_t i = static_cast<std::size_t>(size); i < sizeof buffer; ++i) {
        if (buffer[i] != kGuard) Fail("a write past the buffer", text);
      }
    }
  }
}

std::uint32_t BindAnything(std::string_view /*library*/, std::string_view function) {
  // An empty name stands for an import this host lacks.
  return function.empty() ? 0 : 0x7F000000u | static_cast<std::uint32_t>(function.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string why;
  const std::optional<PeHeaders> headers = ReadPeHeaders({data, size}, why);
  if (!headers) {
    CheckRefusal(why);
    return 0;
  }
  const std::uint32_t imageSize = headers->imageSize;
  if (imageSize > kMaxImageSize) return 0;
  void* mapping = mmap(nullptr, imageSize + kPageSize, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) Fail("mmap", std::strerror(errno));
  auto* memory = static_cast<std::uint8_t*>(mapping);
  if (mprotect(memory + imageSize, kPageSize, PROT_NONE) != 0) Fail("mprotect", "guard page");
  LayOutImage({data, size}, *headers, {memory, imageSize});
  const std::vector<std::uint32_t> protections = PlannedProtections(*headers);
  Protect(memory, protections, true);
  // Elsewhere than its preferred base when it can be moved, so that its relocations apply.
  const bool movable = headers->directorySize[kRelocationDirectory] != 0;
  const ImageView image(memory, headers->preferredBase ^ (movable ? 0x40000000u : 0), protections);
  PreparedImage prepared;
  if (PrepareImage(image, *headers, BindAnything, "FMExternCallProc", prepared, why)) {
    Protect(memory, protections, false);
    const ModuleResources resources(image, headers->directoryRva[kResourceDirectory],
                                    headers->directorySize[kResourceDirectory]);
    CheckStrings(resources);
    std::string noVersion;
    (void)ModuleVersionBlock(resources, noVersion);
  } else {
    CheckRefusal(why);
  }
  munmap(mapping, imageSize + kPageSize);
  return 0;
}
