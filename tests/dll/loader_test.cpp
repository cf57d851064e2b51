// serix-host-dll's loader on damaged copies of the built Serix.fmx (SERIX_DLL), each made here
// and refused with its own reason, on its page protections, and on a module of our own with
// thread-local data and a TLS callback (SERIX_TLS_MODULE).
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dll_resources.h"
#include "pe_headers.h"
#include "pe_image.h"

namespace serix::host::dll {
namespace {

constexpr char kExport[] = "FMExternCallProc";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// A module's file with what the rows need to damage it; at() checks each access's last byte.
struct ModuleBytes {
  std::vector<std::uint8_t> bytes;

  std::uint32_t Word(std::uint32_t at) const {
    std::uint32_t value = 0;
    std::memcpy(&value, &bytes.at(at + 3) - 3, sizeof value);
    return value;
  }
  void SetWord(std::uint32_t at, std::uint32_t value) {
    std::memcpy(&bytes.at(at + 3) - 3, &value, sizeof value);
  }
  std::uint16_t Half(std::uint32_t at) const { return static_cast<std::uint16_t>(Word(at)); }
  void SetHalf(std::uint32_t at, std::uint16_t value) {
    std::memcpy(&bytes.at(at + 1) - 1, &value, sizeof value);
  }
  std::uint32_t Pe() const { return Word(0x3C); }
  std::uint32_t Optional() const { return Pe() + 24; }
  // The file offset of section header `index`, past the optional header.
  std::uint32_t SectionHeader(std::uint32_t index) const {
    return Optional() + Half(Pe() + 20) + index * 40;
  }
  std::uint32_t Section(std::string_view name) const {
    for (std::uint32_t i = 0; i < Half(Pe() + 6); ++i) {
      const std::uint32_t at = SectionHeader(i);
      if (name == reinterpret_cast<const char*>(&bytes.at(at))) return at;
    }
    ADD_FAILURE() << "no section " << name;
    return 0;
  }
  std::uint32_t Base() const { return Word(Optional() + 28); }
  // SizeOfImage: the damage is made relative to it, so that it fits the module as built.
  std::uint32_t ImageSize() const { return Word(Optional() + 56); }
  void SetImageSize(std::uint32_t size) { SetWord(Optional() + 56, size); }
  std::uint32_t DirectoryRva(std::uint32_t index) const {
    return Word(Optional() + 96 + index * 8);
  }
  void SetDirectory(std::uint32_t index, std::uint32_t rva, std::uint32_t size) {
    SetWord(Optional() + 96 + index * 8, rva);
    SetWord(Optional() + 100 + index * 8, size);
  }
  // The file offset of an rva, through the section holding it.
  std::uint32_t At(std::uint32_t rva) const {
    for (std::uint32_t i = 0; i < Half(Pe() + 6); ++i) {
      const std::uint32_t section = SectionHeader(i);
      const std::uint32_t start = Word(section + 12);
      if (rva - start < Word(section + 16)) return Word(section + 20) + (rva - start);
    }
    ADD_FAILURE() << "no section holds rva " << rva;
    return 0;
  }
  std::uint32_t Find(std::string_view text) const {
    const auto found = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
    EXPECT_NE(found, bytes.end()) << text;
    return static_cast<std::uint32_t>(found - bytes.begin());
  }
  // The first data entry of the resource tree: first type, first name, first language.
  std::uint32_t FirstResourceData() const {
    const std::uint32_t root = At(DirectoryRva(2));
    std::uint32_t table = 0;
    for (int level = 0; level < 3; ++level) table = Word(root + table + 20) & 0x7FFFFFFF;
    return root + table;
  }
};

ModuleBytes Built() {
  std::ifstream in(Environment("SERIX_DLL"), std::ios::binary);
  EXPECT_TRUE(in) << "SERIX_DLL names no module: " << Environment("SERIX_DLL");
  return {std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {})};
}

std::string Written(const ModuleBytes& module, const std::string& name) {
  const std::string path = testing::TempDir() + name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(module.bytes.data()),
             static_cast<std::streamsize>(module.bytes.size()));
  return path;
}

// Holds the module's preferred base, so that the loader must place it elsewhere.
class BaseTaken {
 public:
  explicit BaseTaken(std::uint32_t base)
      : at_(mmap(reinterpret_cast<void*>(base), kPageSize, PROT_NONE,
                 MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0)) {
    EXPECT_NE(at_, MAP_FAILED) << "the preferred base is taken already";
  }
  ~BaseTaken() {
    if (at_ != MAP_FAILED) munmap(at_, kPageSize);
  }

 private:
  void* at_;
};

struct DamagedModule {
  const char* name;
  void (*damage)(ModuleBytes&);
  const char* refusal;  // a part of the reason; null: the module loads
  bool baseTaken = false;
  const char* path = nullptr;  // a file of the system's instead of a copy
};

const DamagedModule kDamagedModules[] = {
    {"as built, its last section ending at the end of the file", [](ModuleBytes&) {}, nullptr},
    {"no base relocations, the base free", [](ModuleBytes& m) { m.SetDirectory(5, 0, 0); },
     nullptr},
    {"the base taken", [](ModuleBytes&) {}, nullptr, true},
    {"the base taken, no base relocations", [](ModuleBytes& m) { m.SetDirectory(5, 0, 0); },
     "its preferred base is taken and it carries no base relocations", true},
    {"a FIFO", nullptr, "is not a regular file", false, "fifo"},
    {"a directory", nullptr, "is not a regular file", false, "/"},
    {"/dev/zero", nullptr, "is not a regular file", false, "/dev/zero"},
    {"no MZ", [](ModuleBytes& m) { m.bytes[0] = 'X'; }, "no MZ signature"},
    {"cut in the DOS header", [](ModuleBytes& m) { m.bytes.resize(0x3E); },
     "its DOS header is cut short"},
    {"cut in the PE signature", [](ModuleBytes& m) { m.bytes.resize(m.Pe() + 2); },
     "no PE signature"},
    {"cut in the file header", [](ModuleBytes& m) { m.bytes.resize(m.Pe() + 10); },
     "its file header is cut short"},
    {"cut in the optional header", [](ModuleBytes& m) { m.bytes.resize(m.Optional() + 50); },
     "its optional header is cut short"},
    {"cut in the section table", [](ModuleBytes& m) { m.bytes.resize(m.Optional() + 0x100); },
     "its headers (SizeOfHeaders 0x400) run past the file or the image"},
    {"cut in .text's data", [](ModuleBytes& m) { m.bytes.resize(0x1000); },
     "section 1's data runs past the end of the file"},
    {"for x86-64", [](ModuleBytes& m) { m.SetHalf(m.Pe() + 4, 0x8664); },
     "a module for another machine (0x8664)"},
    {"PE32+", [](ModuleBytes& m) { m.SetHalf(m.Optional(), 0x20B); }, "a 64-bit module (PE32+)"},
    {"a program",
     [](ModuleBytes& m) {
       m.SetHalf(m.Pe() + 22, static_cast<std::uint16_t>(m.Half(m.Pe() + 22) & ~0x2000u));
     },
     "a program, not a DLL"},
    {"data directories past the optional header",
     [](ModuleBytes& m) { m.SetHalf(m.Pe() + 20, 0x60); },
     "its optional header is too short for its data directories"},
    {"SizeOfImage of 4 GiB", [](ModuleBytes& m) { m.SetWord(m.Optional() + 56, 0xFFFFF000); },
     "its SizeOfImage 0xFFFFF000 is zero or beyond 1 GiB"},
    {"65535 sections", [](ModuleBytes& m) { m.SetHalf(m.Pe() + 6, 0xFFFF); },
     "its section table runs past its headers"},
    {"an image base off a 64 KiB bound",
     [](ModuleBytes& m) { m.SetWord(m.Optional() + 28, m.Base() + 0x1000); },
     "its image base 0x68781000 is not a multiple of 64 KiB"},
    {"a section off a page boundary",
     [](ModuleBytes& m) { m.SetWord(m.Section(".data") + 12, 0x8200); },
     "section 2 is not on a page boundary"},
    {"a section past SizeOfImage",
     [](ModuleBytes& m) { m.SetImageSize(m.Word(m.SectionHeader(10) + 12) + 0x100); },
     "section 11 runs past SizeOfImage"},
    {"overlapping sections", [](ModuleBytes& m) { m.SetWord(m.Section(".data") + 12, 0x7000); },
     "section 2 overlaps the headers or the section before it"},
    {"relocations outside the image", [](ModuleBytes& m) { m.SetDirectory(5, 0x7FFF0000, 0x320); },
     "its base relocations lie outside its image"},
    {"a relocation block of 0 bytes",
     [](ModuleBytes& m) { m.SetWord(m.At(m.DirectoryRva(5)) + 4, 0); },
     "a base relocation block of 0x0 bytes"},
    {"a relocation of type 10",
     [](ModuleBytes& m) {
       const std::uint32_t first = m.At(m.DirectoryRva(5)) + 8;
       m.SetHalf(first, static_cast<std::uint16_t>(0xA000 | (m.Half(first) & 0xFFF)));
     },
     "a base relocation of type 10, which i386 modules do not use"},
    {"a relocation outside the image",
     [](ModuleBytes& m) { m.SetWord(m.At(m.DirectoryRva(5)), 0x7FFF0000); },
     "a base relocation at 0x7FFF"},
    {"imports outside the image", [](ModuleBytes& m) { m.SetDirectory(1, 0x7FFF0000, 0x28); },
     "its import table lies outside its image"},
    {"an import this host lacks", [](ModuleBytes& m) { m.bytes[m.Find("Sleep") + 4] = 'q'; },
     "imports Sleeq from KERNEL32.dll, which this host does not provide"},
    {"an import by number",
     [](ModuleBytes& m) { m.SetWord(m.At(m.Word(m.At(m.DirectoryRva(1)))), 0x80000001); },
     "imports from ADVAPI32.dll by number"},
    {"exports outside the image", [](ModuleBytes& m) { m.SetDirectory(0, 0x7FFF0000, 0x4D); },
     "its export directory lies outside its image"},
    {"the export renamed", [](ModuleBytes& m) { m.bytes[m.Find(kExport)] = 'X'; },
     "exports no FMExternCallProc"},
    {"a forwarded export in an executable export section",
     [](ModuleBytes& m) {
       const std::uint32_t edata = m.Section(".edata");
       m.SetWord(edata + 36, m.Word(edata + 36) | 0x20000000);
       const std::uint32_t directory = m.DirectoryRva(0);
       m.SetWord(m.At(m.Word(m.At(directory) + 28)), directory + 40);
     },
     "exports FMExternCallProc as a forward to another DLL"},
    {"the entry point at the end of .text",
     [](ModuleBytes& m) {
       const std::uint32_t text = m.Section(".text");
       m.SetWord(m.Optional() + 16, m.Word(text + 12) + m.Word(text + 8));
     },
     "its entry point lies outside its code"},
    {"the TLS directory outside the image",
     [](ModuleBytes& m) { m.SetDirectory(9, 0x7FFF0000, 0x18); },
     "its TLS directory lies outside its image"},
    {"the TLS index outside the image",
     [](ModuleBytes& m) { m.SetWord(m.At(m.DirectoryRva(9)) + 8, 0x10); },
     "its TLS index lies outside its image"},
    {"a TLS callback in data",
     [](ModuleBytes& m) {
       const std::uint32_t list = m.Word(m.At(m.DirectoryRva(9)) + 12) - m.Base();
       m.SetWord(m.At(list), m.Base() + m.Word(m.Section(".rdata") + 12));
     },
     "a TLS callback lies outside its code"},
    {"resources outside the image", [](ModuleBytes& m) { m.SetDirectory(2, 0x7FFF0000, 0x600); },
     "its resource directory lies outside its image"},
    {".rsrc neither readable nor writable",
     [](ModuleBytes& m) { m.SetWord(m.Section(".rsrc") + 36, 0x40); },
     "its resource directory lies in a page that cannot be read"},
    {"resources in a page no section maps",
     [](ModuleBytes& m) {
       const std::uint32_t end = m.ImageSize();
       m.SetImageSize(end + 0x1000);
       m.SetDirectory(2, end, 0x600);
     },
     "its resource directory lies in a page that cannot be read"},
    {"a resource table of 65535 entries",
     [](ModuleBytes& m) { m.SetHalf(m.At(m.DirectoryRva(2)) + 14, 0xFFFF); },
     "its resource table at 0x0 runs past the resource directory"},
    {"resource data outside the image",
     [](ModuleBytes& m) { m.SetWord(m.FirstResourceData(), 0x7FFF0000); },
     "a resource's data lies outside its image"},
};

class DamagedModuleTest : public testing::TestWithParam<DamagedModule> {};

TEST_P(DamagedModuleTest, IsRefusedWithItsReasonOrLoads) {
  const DamagedModule& row = GetParam();
  std::string path;
  if (row.path == nullptr) {
    ModuleBytes module = Built();
    row.damage(module);
    path = Written(module, "damaged.fmx");
  } else if (std::string_view(row.path) == "fifo") {
    path = testing::TempDir() + "module-fifo";
    unlink(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  } else {
    path = row.path;
  }
  const std::uint32_t preferredBase = Built().Base();
  LoadedModule module;
  std::string why;
  bool loaded = false;
  {
    std::optional<BaseTaken> taken;
    if (row.baseTaken) taken.emplace(preferredBase);
    loaded = LoadModule(path, kExport, module, why);
  }
  if (row.refusal == nullptr) {
    EXPECT_TRUE(loaded) << why;
    EXPECT_EQ(reinterpret_cast<std::uint32_t>(module.base) != preferredBase, row.baseTaken);
  } else {
    EXPECT_FALSE(loaded);
    EXPECT_NE(why.find(row.refusal), std::string::npos) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
  }
  UnloadModule();
}

// Rows named by their words, each other character an underscore.
std::string RowName(const testing::TestParamInfo<DamagedModule>& row) {
  std::string name = row.param.name;
  std::replace_if(
      name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
      '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, DamagedModuleTest, testing::ValuesIn(kDamagedModules), RowName);

// Whether a read of `at`, or a write of the byte read back to it, goes through.
sigjmp_buf probeJump;
bool Reaches(std::uint32_t address, bool write) {
  struct sigaction fault {
  }, oldSegv{}, oldBus{};
  fault.sa_handler = [](int) { siglongjmp(probeJump, 1); };
  sigaction(SIGSEGV, &fault, &oldSegv);
  sigaction(SIGBUS, &fault, &oldBus);
  volatile bool reached = false;
  if (sigsetjmp(probeJump, 1) == 0) {
    auto* at = reinterpret_cast<volatile std::uint8_t*>(address);
    const std::uint8_t value = *at;
    if (write) *at = value;
    reached = true;
  }
  sigaction(SIGSEGV, &oldSegv, nullptr);
  sigaction(SIGBUS, &oldBus, nullptr);
  return reached;
}

std::uint32_t Protection(std::uint32_t address) {
  PageRegion region;
  EXPECT_TRUE(QueryModulePages(address, region));
  return region.protection;
}

// Each page as its section's flags ask, and the memory so: readable where Windows' protection
// reads, writable only where it writes. A page no section covers is neither.
TEST(PageProtectionTest, PagesAreProtectedAsTheSectionsAsk) {
  ModuleBytes file = Built();
  const std::uint32_t gap = file.ImageSize();
  file.SetImageSize(gap + 0x1000);  // one page that no section covers
  LoadedModule module;
  std::string why;
  ASSERT_TRUE(LoadModule(Written(file, "gap.fmx"), kExport, module, why)) << why;
  const auto base = reinterpret_cast<std::uint32_t>(module.base);
  const struct {
    const char* section;  // null: the headers; "": the page after the last section
    std::uint32_t protection;
  } pages[] = {{nullptr, 0x02},  {".text", 0x20},  {".data", 0x04},
               {".rdata", 0x02}, {".bss", 0x04},   {".edata", 0x02},
               {".rsrc", 0x04},  {".reloc", 0x02}, {"", 0x01}};
  for (const auto& page : pages) {
    SCOPED_TRACE(page.section != nullptr ? page.section : "headers");
    std::uint32_t rva = 0;
    if (page.section != nullptr && *page.section != '\0')
      rva = file.Word(file.Section(page.section) + 12);
    if (page.section != nullptr && *page.section == '\0') rva = gap;
    EXPECT_EQ(Protection(base + rva), page.protection);
    EXPECT_EQ(Reaches(base + rva + 8, false), page.protection != 0x01);
    EXPECT_EQ(Reaches(base + rva + 8, true), page.protection == 0x04);
  }
  UnloadModule();
}

// VirtualProtect of two bytes across a page boundary changes both pages; resources in pages
// made inaccessible read as missing, and as before once readable again.
TEST(PageProtectionTest, VirtualProtectSpansEveryPageItTouchesAndTheReadersHonourIt) {
  LoadedModule module;
  std::string why;
  const ModuleBytes file = Built();
  ASSERT_TRUE(LoadModule(Environment("SERIX_DLL"), kExport, module, why)) << why;
  const auto base = reinterpret_cast<std::uint32_t>(module.base);
  const std::uint32_t text = base + file.Word(file.Section(".text") + 12);
  std::uint32_t old = 0;
  ASSERT_TRUE(ProtectModulePages(text + 0xFFF, 2, 0x40, old));
  EXPECT_EQ(old, 0x20u);
  EXPECT_EQ(Protection(text), 0x40u);
  EXPECT_EQ(Protection(text + 0x1000), 0x40u);
  EXPECT_TRUE(Reaches(text, true));
  EXPECT_TRUE(Reaches(text + 0x1000, true));
  EXPECT_FALSE(Reaches(text + 0x2000, true));
  ASSERT_TRUE(ProtectModulePages(text, 0x2000, 0x20, old));

  const std::uint32_t resources = base + file.Word(file.Section(".rsrc") + 12);
  char name[64];
  ASSERT_EQ(LoadModuleString(LoadedResources(), 144, name, sizeof name), 12);
  EXPECT_STREQ(name, "Serx-Version");
  ASSERT_TRUE(ProtectModulePages(resources, 0x600, 0x01, old));
  EXPECT_FALSE(Reaches(resources, false));
  EXPECT_EQ(LoadModuleString(LoadedResources(), 144, name, sizeof name), 0);
  ASSERT_TRUE(ProtectModulePages(resources, 0x600, 0x02, old));
  EXPECT_EQ(old, 0x01u);
  EXPECT_EQ(LoadModuleString(LoadedResources(), 144, name, sizeof name), 12);
  UnloadModule();
}

// The module's thread-local counter starts from its template and is reached through the TLS
// index the loader wrote; the TLS callback ran once, for the attach, after the data was set up.
TEST(ThreadLocalModuleTest, ThreadLocalDataAndTheCallbackWork) {
  LoadedModule module;
  std::string why;
  ASSERT_TRUE(LoadModule(Environment("SERIX_TLS_MODULE"), "Probe", module, why)) << why;
  const auto probe = reinterpret_cast<int (*)(int)>(module.entry);
  EXPECT_EQ(probe(1), 2);  // DLL_PROCESS_ATTACH (1), plus one
  EXPECT_EQ(probe(2), 42);
  EXPECT_EQ(probe(0), 43);
  EXPECT_EQ(probe(0), 44);
  UnloadModule();
}

}  // namespace
}  // namespace serix::host::dll
