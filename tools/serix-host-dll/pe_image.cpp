#include "pe_image.h"

#include <asm/ldt.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "dll_imports.h"

#if !defined(__i386__)
#error "serix-host-dll loads 32-bit Windows code and runs it in place: build it for i386"
#endif

namespace serix::host::dll {
namespace {

constexpr std::uint32_t kPageSize = 4096;
constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kFileIsDll = 0x2000;
enum Directory : std::uint32_t {
  kExports = 0,
  kImports = 1,
  kResources = 2,
  kRelocations = 5,
  kTls = 9
};
constexpr std::uint32_t kProcessDetach = 0;
constexpr std::uint32_t kProcessAttach = 1;

// Section flags and Windows' page protections.
constexpr std::uint32_t kSectionExecute = 0x20000000;
constexpr std::uint32_t kSectionRead = 0x40000000;
constexpr std::uint32_t kSectionWrite = 0x80000000;
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

std::uint32_t SectionProtection(std::uint32_t flags) {
  const bool write = (flags & kSectionWrite) != 0;
  if ((flags & kSectionExecute) != 0) return write ? 0x40 : 0x20;
  if (write) return 0x04;
  return (flags & kSectionRead) != 0 ? 0x02 : 0x01;
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

// The file's bytes, read with bounds: every read past the end answers nothing.
class FileBytes {
 public:
  explicit FileBytes(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
  bool Has(std::uint32_t at, std::uint32_t length) const {
    return at <= bytes_.size() && length <= bytes_.size() - at;
  }
  std::uint32_t Word(std::uint32_t at) const { return Read<std::uint32_t>(at); }
  std::uint16_t Half(std::uint32_t at) const { return Read<std::uint16_t>(at); }
  const std::uint8_t* At(std::uint32_t at) const { return bytes_.data() + at; }

 private:
  template <typename T>
  T Read(std::uint32_t at) const {
    T value{};
    if (Has(at, sizeof value)) std::memcpy(&value, bytes_.data() + at, sizeof value);
    return value;
  }
  std::vector<std::uint8_t> bytes_;
};

struct Section {
  std::uint32_t rva;
  std::uint32_t size;  // in memory
  std::uint32_t rawOffset;
  std::uint32_t rawSize;
  std::uint32_t flags;
};

struct Headers {
  std::uint32_t preferredBase = 0;
  std::uint32_t imageSize = 0;
  std::uint32_t headersSize = 0;
  std::uint32_t entryRva = 0;
  std::uint32_t directoryRva[16] = {};
  std::uint32_t directorySize[16] = {};
  std::vector<Section> sections;
};

std::optional<Headers> ReadHeaders(const FileBytes& file, std::string& why) {
  why = "not a 32-bit Windows DLL";
  if (file.Half(0) != 0x5A4D) return std::nullopt;  // "MZ"
  const std::uint32_t pe = file.Word(0x3C);
  if (!file.Has(pe, 24) || file.Word(pe) != 0x00004550) return std::nullopt;  // "PE\0\0"
  const std::uint32_t fileHeader = pe + 4;
  if (file.Half(fileHeader) != kMachineI386 || (file.Half(fileHeader + 18) & kFileIsDll) == 0) {
    return std::nullopt;
  }
  const std::uint32_t optional = fileHeader + 20;
  const std::uint32_t optionalSize = file.Half(fileHeader + 16);
  if (optionalSize < 96 || !file.Has(optional, optionalSize) || file.Half(optional) != kMagicPe32) {
    return std::nullopt;
  }
  Headers headers;
  headers.entryRva = file.Word(optional + 16);
  headers.preferredBase = file.Word(optional + 28);
  headers.imageSize = file.Word(optional + 56);
  headers.headersSize = file.Word(optional + 60);
  const std::uint32_t directories = std::min<std::uint32_t>(file.Word(optional + 92), 16);
  if (96 + directories * 8 > optionalSize) return std::nullopt;
  for (std::uint32_t i = 0; i < directories; ++i) {
    headers.directoryRva[i] = file.Word(optional + 96 + i * 8);
    headers.directorySize[i] = file.Word(optional + 100 + i * 8);
  }
  const std::uint32_t sectionCount = file.Half(fileHeader + 2);
  const std::uint32_t sectionTable = optional + optionalSize;
  if (!file.Has(sectionTable, sectionCount * 40)) return std::nullopt;
  why = "a damaged DLL: its headers do not fit its image";
  // At most 1 GB, so that no sum below can wrap.
  if (headers.imageSize == 0 || headers.imageSize > (1u << 30) ||
      headers.headersSize > headers.imageSize || !file.Has(0, headers.headersSize)) {
    return std::nullopt;
  }
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint32_t at = sectionTable + i * 40;
    Section section{file.Word(at + 12), file.Word(at + 8), file.Word(at + 20), file.Word(at + 16),
                    file.Word(at + 36)};
    if (section.size == 0) section.size = section.rawSize;
    section.rawSize = std::min(section.rawSize, section.size);
    if (section.rva % kPageSize != 0 || section.rva > headers.imageSize ||
        section.size > headers.imageSize - section.rva ||
        !file.Has(section.rawOffset, section.rawSize)) {
      return std::nullopt;
    }
    headers.sections.push_back(section);
  }
  return headers;
}

struct Mapped {
  LoadedModule module;
  Headers headers;
  std::vector<std::uint32_t> pageProtections;  // Windows' PAGE_*, one per page
  std::vector<std::uint8_t> tlsData;
  bool attached = false;
};
std::unique_ptr<Mapped> current;

// The image's bytes at rva, length bytes long; null when they are not all inside it.
std::uint8_t* InImage(const Mapped& mapped, std::uint32_t rva, std::uint32_t length) {
  const std::uint32_t size = mapped.module.imageSize;
  if (rva > size || length > size - rva) return nullptr;
  return mapped.module.base + rva;
}

std::uint32_t ImageWord(const Mapped& mapped, std::uint32_t rva) {
  std::uint32_t value = 0;
  if (const std::uint8_t* at = InImage(mapped, rva, 4)) std::memcpy(&value, at, sizeof value);
  return value;
}

// A zero-terminated name inside the image; null when it runs out of the image.
const char* ImageName(const Mapped& mapped, std::uint32_t rva) {
  const std::uint8_t* at = InImage(mapped, rva, 1);
  if (at == nullptr) return nullptr;
  const std::uint32_t room = mapped.module.imageSize - rva;
  return std::memchr(at, 0, room) != nullptr ? reinterpret_cast<const char*>(at) : nullptr;
}

// The address of a virtual address inside the image, as an rva; none when outside.
std::optional<std::uint32_t> RvaOf(const Mapped& mapped, std::uint32_t address) {
  const auto base = reinterpret_cast<std::uint32_t>(mapped.module.base);
  if (address < base || address - base >= mapped.module.imageSize) return std::nullopt;
  return address - base;
}

bool ApplyRelocations(Mapped& mapped, std::string& why) {
  const std::uint32_t delta =
      reinterpret_cast<std::uint32_t>(mapped.module.base) - mapped.headers.preferredBase;
  std::uint32_t at = mapped.headers.directoryRva[kRelocations];
  const std::uint32_t end = at + mapped.headers.directorySize[kRelocations];
  if (delta != 0 && mapped.headers.directorySize[kRelocations] == 0) {
    why = "its preferred base is taken and it carries no base relocations";
    return false;
  }
  why = "a damaged DLL: bad base relocations";
  if (InImage(mapped, at, end - at) == nullptr || end < at) return false;
  while (end - at >= 8) {
    const std::uint32_t page = ImageWord(mapped, at);
    const std::uint32_t blockSize = ImageWord(mapped, at + 4);
    if (blockSize < 8 || blockSize > end - at) return false;
    for (std::uint32_t entry = at + 8; entry + 2 <= at + blockSize; entry += 2) {
      std::uint16_t fixup = 0;
      std::memcpy(&fixup, mapped.module.base + entry, sizeof fixup);
      const unsigned type = fixup >> 12;
      if (type == 0) continue;  // padding
      std::uint8_t* target = InImage(mapped, page + (fixup & 0xFFFu), 4);
      if (type != 3 || target == nullptr) return false;  // only 32-bit fixups in PE32
      std::uint32_t value;
      std::memcpy(&value, target, sizeof value);
      value += delta;
      std::memcpy(target, &value, sizeof value);
    }
    at += blockSize;
  }
  return true;
}

bool BindImports(Mapped& mapped, std::string& why) {
  std::uint32_t descriptor = mapped.headers.directoryRva[kImports];
  if (descriptor == 0) return true;
  for (;; descriptor += 20) {
    if (InImage(mapped, descriptor, 20) == nullptr) {
      why = "a damaged DLL: bad import table";
      return false;
    }
    const std::uint32_t nameRva = ImageWord(mapped, descriptor + 12);
    if (nameRva == 0) return true;
    const char* library = ImageName(mapped, nameRva);
    const std::uint32_t slots = ImageWord(mapped, descriptor + 16);
    std::uint32_t names = ImageWord(mapped, descriptor);
    if (names == 0) names = slots;
    for (std::uint32_t i = 0;; ++i) {
      std::uint8_t* slot = InImage(mapped, slots + i * 4, 4);
      if (library == nullptr || slot == nullptr || InImage(mapped, names + i * 4, 4) == nullptr) {
        why = "a damaged DLL: bad import table";
        return false;
      }
      const std::uint32_t byName = ImageWord(mapped, names + i * 4);
      if (byName == 0) break;
      const char* function = (byName & 0x80000000u) != 0 ? nullptr : ImageName(mapped, byName + 2);
      if (function == nullptr) {
        why = std::string("imports from ") + library + " by number or by a damaged name";
        return false;
      }
      void* address = ImportedAddress(library, function);
      if (address == nullptr) {
        why = std::string("imports ") + function + " from " + library +
              ", which this host does not provide";
        return false;
      }
      PutWord(slot, reinterpret_cast<std::uint32_t>(address));
    }
  }
}

bool InCode(const Mapped& mapped, std::uint32_t rva) {
  for (const Section& section : mapped.headers.sections) {
    if ((section.flags & kSectionExecute) != 0 && rva - section.rva < section.size) return true;
  }
  return false;
}

void* FindExport(const Mapped& mapped, const char* wanted) {
  const std::uint32_t directory = mapped.headers.directoryRva[kExports];
  const std::uint32_t directorySize = mapped.headers.directorySize[kExports];
  if (InImage(mapped, directory, 40) == nullptr) return nullptr;
  const std::uint32_t functionCount = ImageWord(mapped, directory + 20);
  const std::uint32_t nameCount = ImageWord(mapped, directory + 24);
  const std::uint32_t functions = ImageWord(mapped, directory + 28);
  const std::uint32_t names = ImageWord(mapped, directory + 32);
  const std::uint32_t ordinals = ImageWord(mapped, directory + 36);
  for (std::uint32_t i = 0; i < nameCount && InImage(mapped, names + i * 4, 4); ++i) {
    const char* name = ImageName(mapped, ImageWord(mapped, names + i * 4));
    const std::uint8_t* ordinalAt = InImage(mapped, ordinals + i * 2, 2);
    if (name == nullptr || ordinalAt == nullptr || std::strcmp(name, wanted) != 0) continue;
    std::uint16_t ordinal;
    std::memcpy(&ordinal, ordinalAt, sizeof ordinal);
    if (ordinal >= functionCount) return nullptr;
    const std::uint32_t rva = ImageWord(mapped, functions + ordinal * 4u);
    // An address inside the export directory is a forward to another DLL; one outside the
    // code, a damaged table that would be run as code.
    if (rva - directory < directorySize || !InCode(mapped, rva)) return nullptr;
    return mapped.module.base + rva;
  }
  return nullptr;
}

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

// The headers read-only, each section as its flags say; pages no section covers stay
// inaccessible.
bool ProtectSections(Mapped& mapped) {
  const std::uint32_t pageCount = mapped.module.imageSize / kPageSize;
  mapped.pageProtections.assign(pageCount, 0x01);
  const std::uint32_t headerPages =
      std::max<std::uint32_t>(1, (mapped.headers.headersSize + kPageSize - 1) / kPageSize);
  bool done = Protect(mapped, 0, std::min(headerPages, pageCount), 0x02);
  for (const Section& section : mapped.headers.sections) {
    const std::uint32_t first = section.rva / kPageSize;
    const std::uint32_t pages =
        std::min((section.size + kPageSize - 1) / kPageSize, pageCount - first);
    done = done && Protect(mapped, first, pages, SectionProtection(section.flags));
  }
  // The pages no section covers: inaccessible, as on Windows.
  for (std::uint32_t page = 0; page < pageCount; ++page) {
    if (mapped.pageProtections[page] == 0x01) {
      done = done && mprotect(mapped.module.base + page * kPageSize, kPageSize, PROT_NONE) == 0;
    }
  }
  return done;
}

// Index 0 for the module's thread-local data, a copy of its template in the one slot, and the
// TLS callbacks (stdcall, like the entry point); no directory, no callbacks.
bool PrepareTls(Mapped& mapped, std::vector<AttachProc>& callbacks, std::string& why) {
  const std::uint32_t directory = mapped.headers.directoryRva[kTls];
  if (directory == 0) return true;
  why = "a damaged DLL: bad TLS directory";
  if (InImage(mapped, directory, 24) == nullptr) return false;
  const std::optional<std::uint32_t> start = RvaOf(mapped, ImageWord(mapped, directory));
  const std::optional<std::uint32_t> end = RvaOf(mapped, ImageWord(mapped, directory + 4));
  const std::optional<std::uint32_t> index = RvaOf(mapped, ImageWord(mapped, directory + 8));
  const std::uint32_t callbackList = ImageWord(mapped, directory + 12);
  const std::uint32_t zeroFill = ImageWord(mapped, directory + 16);
  const bool noTemplate =
      ImageWord(mapped, directory) == 0 && ImageWord(mapped, directory + 4) == 0;
  if (!noTemplate && (!start || !end || *end < *start || zeroFill > (1u << 20))) return false;
  if (!index || InImage(mapped, *index, 4) == nullptr) return false;
  PutWord(mapped.module.base + *index, 0);
  if (!noTemplate) {
    const std::uint8_t* from = mapped.module.base + *start;
    mapped.tlsData.assign(from, from + (*end - *start));
  }
  mapped.tlsData.resize(mapped.tlsData.size() + zeroFill + 4, 0);
  tlsSlots[0] = mapped.tlsData.data();
  if (callbackList == 0) return true;
  const std::optional<std::uint32_t> list = RvaOf(mapped, callbackList);
  for (std::uint32_t i = 0;; ++i) {
    if (!list || InImage(mapped, *list + i * 4, 4) == nullptr) return false;
    const std::uint32_t callback = ImageWord(mapped, *list + i * 4);
    if (callback == 0) return true;
    const std::optional<std::uint32_t> at = RvaOf(mapped, callback);
    if (!at || !InCode(mapped, *at)) return false;
    callbacks.push_back(reinterpret_cast<AttachProc>(callback));
  }
}

std::vector<AttachProc> tlsCallbacks;

// The TLS callbacks, then the entry point, as Windows notifies a module; false when the
// entry point refuses to attach.
bool Notify(const Mapped& mapped, std::uint32_t reason) {
  for (const AttachProc callback : tlsCallbacks) callback(mapped.module.base, reason, nullptr);
  if (mapped.headers.entryRva == 0) return true;
  const auto entry = reinterpret_cast<AttachProc>(mapped.module.base + mapped.headers.entryRva);
  return entry(mapped.module.base, reason, nullptr) != 0;
}

void Unmap(Mapped& mapped) {
  munmap(mapped.module.base, mapped.module.imageSize);
  tlsSlots[0] = nullptr;
}

}  // namespace

bool LoadModule(const std::string& path, const char* exportName, LoadedModule& module,
                std::string& why) {
  UnloadModule();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = "cannot open " + path;
    return false;
  }
  const FileBytes file(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
  std::optional<Headers> headers = ReadHeaders(file, why);
  if (!headers) {
    why = path + " is " + why;
    return false;
  }
  if (!InstallThreadBlock(why)) return false;
  auto mapped = std::make_unique<Mapped>();
  mapped->headers = std::move(*headers);
  const std::uint32_t imageSize = (mapped->headers.imageSize + kPageSize - 1) & ~(kPageSize - 1);
  // At the preferred base when it is free, anywhere else otherwise.
  void* base =
      mmap(reinterpret_cast<void*>(mapped->headers.preferredBase), imageSize,
           PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (base == MAP_FAILED) {
    base = mmap(nullptr, imageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  }
  if (base == MAP_FAILED) {
    why = "cannot map " + path;
    return false;
  }
  mapped->module = {static_cast<std::uint8_t*>(base), imageSize, nullptr};
  std::memcpy(base, file.At(0), mapped->headers.headersSize);
  for (const Section& section : mapped->headers.sections) {
    std::memcpy(mapped->module.base + section.rva, file.At(section.rawOffset), section.rawSize);
  }
  tlsCallbacks.clear();
  const auto fail = [&](const std::string& reason) {
    why = path + ": " + reason;
    Unmap(*mapped);
    return false;
  };
  if (!ApplyRelocations(*mapped, why) || !BindImports(*mapped, why) ||
      !PrepareTls(*mapped, tlsCallbacks, why)) {
    return fail(why);
  }
  mapped->module.entry = FindExport(*mapped, exportName);
  if (mapped->module.entry == nullptr) return fail(std::string("exports no ") + exportName);
  if (mapped->headers.entryRva != 0 && !InCode(*mapped, mapped->headers.entryRva)) {
    return fail("a damaged DLL: its entry point lies outside its code");
  }
  if (!ProtectSections(*mapped)) return fail("cannot protect its sections");
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

namespace {

// One level of the resource directory: the entry with integer id `id` (any, when none), as
// the offset (from the directory's start) it points at, its high bit set for a subdirectory.
std::optional<std::uint32_t> ResourceEntry(const Mapped& mapped, std::uint32_t table,
                                           std::optional<std::uint32_t> id) {
  const std::uint32_t root = mapped.headers.directoryRva[kResources];
  const std::uint8_t* header = InImage(mapped, root + table, 16);
  if (header == nullptr) return std::nullopt;
  std::uint16_t named, numbered;
  std::memcpy(&named, header + 12, 2);
  std::memcpy(&numbered, header + 14, 2);
  for (std::uint32_t i = 0; i < std::uint32_t{named} + numbered; ++i) {
    const std::uint32_t entry = root + table + 16 + i * 8;
    if (InImage(mapped, entry, 8) == nullptr) return std::nullopt;
    const std::uint32_t name = ImageWord(mapped, entry);
    if (id && ((name & 0x80000000u) != 0 || name != *id)) continue;
    return ImageWord(mapped, entry + 4);
  }
  return std::nullopt;
}

}  // namespace

std::span<const std::uint8_t> ModuleResource(std::uint32_t type, std::uint32_t name) {
  if (!current || current->headers.directoryRva[kResources] == 0) return {};
  const Mapped& mapped = *current;
  constexpr std::uint32_t kSubdirectory = 0x80000000u;
  const std::optional<std::uint32_t> names = ResourceEntry(mapped, 0, type);
  if (!names || (*names & kSubdirectory) == 0) return {};
  const std::optional<std::uint32_t> languages =
      ResourceEntry(mapped, *names & ~kSubdirectory, name);
  if (!languages || (*languages & kSubdirectory) == 0) return {};
  const std::optional<std::uint32_t> data =
      ResourceEntry(mapped, *languages & ~kSubdirectory, std::nullopt);
  if (!data || (*data & kSubdirectory) != 0) return {};
  const std::uint32_t entry = mapped.headers.directoryRva[kResources] + *data;
  const std::uint32_t rva = ImageWord(mapped, entry);
  const std::uint32_t size = ImageWord(mapped, entry + 4);
  const std::uint8_t* bytes = InImage(mapped, entry, 16) ? InImage(mapped, rva, size) : nullptr;
  if (bytes == nullptr) return {};
  return {bytes, size};
}

std::vector<std::uint32_t> ModuleResourceNames(std::uint32_t type) {
  std::vector<std::uint32_t> ids;
  if (!current || current->headers.directoryRva[kResources] == 0) return ids;
  const Mapped& mapped = *current;
  const std::optional<std::uint32_t> names = ResourceEntry(mapped, 0, type);
  if (!names || (*names & 0x80000000u) == 0) return ids;
  const std::uint32_t table = mapped.headers.directoryRva[kResources] + (*names & 0x7FFFFFFFu);
  const std::uint8_t* header = InImage(mapped, table, 16);
  if (header == nullptr) return ids;
  std::uint16_t named, numbered;
  std::memcpy(&named, header + 12, 2);
  std::memcpy(&numbered, header + 14, 2);
  for (std::uint32_t i = named; i < std::uint32_t{named} + numbered; ++i) {
    if (InImage(mapped, table + 16 + i * 8, 8) == nullptr) break;
    const std::uint32_t id = ImageWord(mapped, table + 16 + i * 8);
    if ((id & 0x80000000u) == 0) ids.push_back(id);
  }
  return ids;
}

bool QueryModulePages(std::uint32_t address, PageRegion& region) {
  if (!current) return false;
  const std::optional<std::uint32_t> rva = RvaOf(*current, address);
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
  const std::optional<std::uint32_t> first = RvaOf(*current, address);
  const std::optional<std::uint32_t> last = RvaOf(*current, address + (size - 1));
  if (!first || !last || *last < *first) return false;
  old = current->pageProtections[*first / kPageSize];
  return Protect(*current, *first / kPageSize, *last / kPageSize - *first / kPageSize + 1,
                 protection);
}

}  // namespace serix::host::dll
