#include "pe_image.h"

#include <asm/ldt.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "dll_imports.h"
#include "image_setup.h"

#if !defined(__i386__)
#error "serix-host-dll loads 32-bit Windows code and runs it in place: build it for i386"
#endif

namespace serix::host::dll {
namespace {

constexpr std::uint32_t kProcessDetach = 0;
constexpr std::uint32_t kProcessAttach = 1;
// Far more than any DLL this host is meant for, and little enough to read into memory.
constexpr off_t kMaxFileSize = off_t{1} << 28;

struct Protection {
  std::uint32_t windows;
  int posix;
};
constexpr Protection kProtections[] = {
    {0x01, PROT_NONE},                           // PAGE_NOACCESS
    {0x02, PROT_READ},                           // PAGE_READONLY
    {0x04, PROT_READ | PROT_WRITE},              // PAGE_READWRITE
    {0x08, PROT_READ | PROT_WRITE},              // PAGE_WRITECOPY
    {0x10, PROT_EXEC},                           // PAGE_EXECUTE
    {0x20, PROT_READ | PROT_EXEC},               // PAGE_EXECUTE_READ
    {0x40, PROT_READ | PROT_WRITE | PROT_EXEC},  // PAGE_EXECUTE_READWRITE
    {0x80, PROT_READ | PROT_WRITE | PROT_EXEC},  // PAGE_EXECUTE_WRITECOPY
};

std::optional<int> PosixProtection(std::uint32_t windows) {
  for (const Protection& p : kProtections) {
    if (p.windows == windows) return p.posix;
  }
  return std::nullopt;
}

using AttachProc = int(__attribute__((stdcall)) *)(void* instance, std::uint32_t reason,
                                                   void* reserved);

// Windows' thread block, as far as code in a module reads it: the exception-handler chain's
// end at 0, the stack's top and bottom at 4 and 8, the block's own address at 0x18, the TLS
// slots at 0x2C, the process block at 0x30 (all zeros here).
struct alignas(kPageSize) ThreadBlock {
  std::uint8_t bytes[kPageSize];
};
ThreadBlock threadBlock;
ThreadBlock processBlock;
void* tlsSlots[64];

void PutWord(void* at, std::uint32_t value) {
  std::memcpy(at, &value, sizeof value);
}

// Loads the thread block into %fs, once for this thread (Linux's C library keeps %gs).
bool InstallThreadBlock(std::string& why) {
  static bool installed = false;
  if (installed) return true;
  std::uint8_t* const block = threadBlock.bytes;
  PutWord(block + 0x00, 0xFFFFFFFF);
  pthread_attr_t attributes;
  void* stackLow = nullptr;
  std::size_t stackSize = 0;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) {
    why = "cannot find this thread's stack";
    return false;
  }
  pthread_attr_getstack(&attributes, &stackLow, &stackSize);
  pthread_attr_destroy(&attributes);
  const auto low = reinterpret_cast<std::uint32_t>(stackLow);
  PutWord(block + 0x04, low + static_cast<std::uint32_t>(stackSize));
  PutWord(block + 0x08, low);
  PutWord(block + 0x18, reinterpret_cast<std::uint32_t>(block));
  PutWord(block + 0x2C, reinterpret_cast<std::uint32_t>(tlsSlots));
  PutWord(block + 0x30, reinterpret_cast<std::uint32_t>(processBlock.bytes));
  user_desc segment{};
  segment.entry_number = static_cast<unsigned>(-1);
  segment.base_addr = reinterpret_cast<std::uint32_t>(block);
  segment.limit = sizeof threadBlock - 1;
  segment.seg_32bit = 1;
  segment.useable = 1;
  if (syscall(SYS_set_thread_area, &segment) != 0) {
    why = "cannot install a thread block (set_thread_area failed)";
    return false;
  }
  const auto selector = static_cast<std::uint16_t>(segment.entry_number * 8 + 3);
  asm volatile("movw %0, %%fs" : : "r"(selector));
  installed = true;
  return true;
}

std::string SystemReason() {
  return std::strerror(errno);
}

// The whole file, when the path names a regular file of a size a DLL can have. Opened without
// waiting, so that a FIFO is refused at once instead of waiting for a writer.
bool ReadModuleFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& why) {
  const int file = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (file < 0) {
    why = "cannot open " + path + " (" + SystemReason() + ")";
    return false;
  }
  struct stat status {};
  if (fstat(file, &status) != 0) {
    why = "cannot read " + path + " (" + SystemReason() + ")";
  } else if (!S_ISREG(status.st_mode)) {
    why = path + " is not a regular file";
  } else if (status.st_size > kMaxFileSize) {
    why = path + " is larger than 256 MiB, more than any DLL this host loads";
  } else {
    bytes.resize(static_cast<std::size_t>(status.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t got = read(file, bytes.data() + done, bytes.size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) why = "cannot read " + path + " (" + SystemReason() + ")";
      if (got <= 0) break;  // an error, or a file that shrank while it was read
      done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
  }
  close(file);
  return why.empty();
}

struct Mapped {
  LoadedModule module;
  PeHeaders headers;
  std::vector<std::uint32_t> pageProtections;  // Windows' PAGE_*, one per page
  ImageView image;
  std::vector<std::uint8_t> tlsData;
  std::vector<AttachProc> tlsCallbacks;
  bool attached = false;
};
std::unique_ptr<Mapped> current;

bool Protect(Mapped& mapped, std::uint32_t firstPage, std::uint32_t pages,
             std::uint32_t protection) {
  const std::optional<int> posix = PosixProtection(protection);
  if (!posix || pages == 0) return posix.has_value();
  if (mprotect(mapped.module.base + firstPage * kPageSize, pages * kPageSize, *posix) != 0) {
    return false;
  }
  for (std::uint32_t page = firstPage; page < firstPage + pages; ++page) {
    mapped.pageProtections[page] = protection;
  }
  return true;
}

// Every page as planned, in runs of equal protection.
bool ProtectImage(Mapped& mapped) {
  const std::vector<std::uint32_t> planned = mapped.pageProtections;
  for (std::uint32_t first = 0; first < planned.size();) {
    std::uint32_t end = first + 1;
    while (end < planned.size() && planned[end] == planned[first]) ++end;
    if (!Protect(mapped, first, end - first, planned[first])) return false;
    first = end;
  }
  return true;
}

// The TLS callbacks, then the entry point, as Windows notifies a module; false when the
// entry point refuses to attach.
bool Notify(const Mapped& mapped, std::uint32_t reason) {
  for (const AttachProc callback : mapped.tlsCallbacks) {
    callback(mapped.module.base, reason, nullptr);
  }
  if (mapped.headers.entryRva == 0) return true;
  const auto entry = reinterpret_cast<AttachProc>(mapped.module.base + mapped.headers.entryRva);
  return entry(mapped.module.base, reason, nullptr) != 0;
}

void Unmap(Mapped& mapped) {
  munmap(mapped.module.base, mapped.module.imageSize);
  tlsSlots[0] = nullptr;
}

std::uint32_t BoundImport(std::string_view library, std::string_view function) {
  return reinterpret_cast<std::uint32_t>(ImportedAddress(library, function));
}

}  // namespace

bool LoadModule(const std::string& path, const char* exportName, LoadedModule& module,
                std::string& why) {
  UnloadModule();
  why.clear();
  std::vector<std::uint8_t> file;
  if (!ReadModuleFile(path, file, why)) return false;
  std::optional<PeHeaders> headers = ReadPeHeaders(file, why);
  if (!headers) {
    why = path + " is " + why;
    return false;
  }
  if (!InstallThreadBlock(why)) return false;
  auto mapped = std::make_unique<Mapped>();
  mapped->headers = std::move(*headers);
  const std::uint32_t imageSize = mapped->headers.imageSize;
  // At the preferred base when it is free, anywhere else otherwise.
  void* base =
      mmap(reinterpret_cast<void*>(mapped->headers.preferredBase), imageSize,
           PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (base == MAP_FAILED) {
    base = mmap(nullptr, imageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  }
  if (base == MAP_FAILED) {
    why = "cannot map " + path + " (" + SystemReason() + ")";
    return false;
  }
  mapped->module = {static_cast<std::uint8_t*>(base), imageSize, nullptr};
  LayOutImage(file, mapped->headers, {mapped->module.base, imageSize});
  mapped->pageProtections = PlannedProtections(mapped->headers);
  mapped->image = ImageView(mapped->module.base, reinterpret_cast<std::uint32_t>(base),
                            mapped->pageProtections);
  const auto fail = [&](const std::string& reason) {
    why = path + ": " + reason;
    Unmap(*mapped);
    return false;
  };
  PreparedImage prepared;
  if (!PrepareImage(mapped->image, mapped->headers, BoundImport, exportName, prepared, why)) {
    return fail(why);
  }
  mapped->module.entry = mapped->module.base + prepared.exportRva;
  if (prepared.tls.present) {
    // Never empty, so that the module's slot holds an address even without thread-local data.
    mapped->tlsData = std::move(prepared.tls.data);
    mapped->tlsData.resize(mapped->tlsData.size() + 4, 0);
    tlsSlots[0] = mapped->tlsData.data();
  }
  for (const std::uint32_t callback : prepared.tls.callbacks) {
    mapped->tlsCallbacks.push_back(reinterpret_cast<AttachProc>(mapped->module.base + callback));
  }
  if (!ProtectImage(*mapped)) return fail("cannot protect its pages (" + SystemReason() + ")");
  ResetServices();
  current = std::move(mapped);
  if (!Notify(*current, kProcessAttach)) {
    why = path + ": its start-up failed";
    Unmap(*current);
    current.reset();
    return false;
  }
  current->attached = true;
  module = current->module;
  return true;
}

void UnloadModule() {
  if (!current) return;
  if (current->attached) Notify(*current, kProcessDetach);
  Unmap(*current);
  current.reset();
}

const LoadedModule* CurrentModule() {
  return current ? &current->module : nullptr;
}

ModuleResources LoadedResources() {
  if (!current) return {};
  return ModuleResources(current->image, current->headers.directoryRva[kResourceDirectory],
                         current->headers.directorySize[kResourceDirectory]);
}

bool QueryModulePages(std::uint32_t address, PageRegion& region) {
  if (!current) return false;
  const std::optional<std::uint32_t> rva = current->image.RvaOf(address);
  if (!rva) return false;
  const std::vector<std::uint32_t>& pages = current->pageProtections;
  std::uint32_t page = *rva / kPageSize;
  region.protection = pages[page];
  region.base = reinterpret_cast<std::uint32_t>(current->module.base) + page * kPageSize;
  std::uint32_t end = page;
  while (end < pages.size() && pages[end] == region.protection) ++end;
  region.size = (end - page) * kPageSize;
  return true;
}

bool ProtectModulePages(std::uint32_t address, std::uint32_t size, std::uint32_t protection,
                        std::uint32_t& old) {
  if (!current || size == 0) return false;
  const std::optional<std::uint32_t> first = current->image.RvaOf(address);
  const std::optional<std::uint32_t> last = current->image.RvaOf(address + (size - 1));
  if (!first || !last || *last < *first) return false;
  old = current->pageProtections[*first / kPageSize];
  return Protect(*current, *first / kPageSize, *last / kPageSize - *first / kPageSize + 1,
                 protection);
}

}  // namespace serix::host::dll
