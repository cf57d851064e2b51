// serix-dll-instruction-count: counts the guest instructions of the calls into a loaded
// Serix.fmx, from the execution log of serix-host-dll run under
// `qemu-i386 -singlestep -d exec,nochain` (one "Trace" line per instruction executed, with
// its address and, for the host program's own code, the name of its function).
//
//   serix-dll-instruction-count --cases          the benchmark cases: label, name, argument,
//                                                expected length and the most instructions an
//                                                entry in the module, tab-separated
//   serix-dll-instruction-count MODULE < LOG     one line per call of the entry point:
//                                                "module imports host" instruction counts
//
// A call runs from the first instruction of FMExternCallProc to the `ret` that leaves the
// module. Each instruction of it counts as:
//   module   its address lies in the module's image (at the image's preferred base, where
//            serix-host-dll maps it when that is free);
//   imports  executed in a function the module called through its imports and in what that
//            called: the stand-ins of serix-host-dll (namespace serix::host::dll) and the C
//            library's functions, which the log names without a symbol;
//   host     in the host's callbacks of the call block and what they called.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "range_cases.h"

namespace serix::bench {
namespace {

constexpr char kEntryName[] = "FMExternCallProc";
// Mangled names of serix-host-dll's stand-ins for the module's imports begin so.
constexpr std::string_view kStandInPrefix = "_ZN5serix4host3dll";

std::uint32_t Read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (at + 4 > bytes.size()) return 0;
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}
std::uint16_t Read16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (at + 2 > bytes.size()) return 0;
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// What the counter needs of a PE32 module: where its image lies, where the entry point
// begins, and its bytes by address, to tell a `ret` from a call.
struct Module {
  std::vector<std::uint8_t> file;
  std::uint32_t imageBase = 0;
  std::uint32_t imageSize = 0;
  std::uint32_t entry = 0;
  struct Section {
    std::uint32_t address, size, fileOffset, fileSize;
  };
  std::vector<Section> sections;

  bool Contains(std::uint32_t address) const {
    return address - imageBase < imageSize;  // unsigned: below the base wraps to large
  }
  // The file's byte at an address of the image; 0 where the file holds none.
  std::uint8_t ByteAt(std::uint32_t address) const {
    const std::uint32_t rva = address - imageBase;
    for (const Section& section : sections) {
      if (rva - section.address < section.fileSize) {
        const std::size_t at = section.fileOffset + (rva - section.address);
        return at < file.size() ? file[at] : 0;
      }
    }
    return 0;
  }
  std::size_t FileOffsetOf(std::uint32_t rva) const {
    for (const Section& section : sections) {
      if (rva - section.address < section.fileSize)
        return section.fileOffset + rva - section.address;
    }
    return file.size();
  }
};

bool LoadModule(const char* path, Module& module, std::string& why) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    why = std::string("cannot read ") + path;
    return false;
  }
  module.file.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  const std::vector<std::uint8_t>& file = module.file;
  const std::uint32_t header = Read32(file, 0x3c);
  if (Read16(file, 0) != 0x5a4d || Read32(file, header) != 0x4550 ||
      Read16(file, header + 4) != 0x14c) {
    why = std::string(path) + " is no PE file for i386";
    return false;
  }
  const std::uint16_t sectionCount = Read16(file, header + 6);
  const std::size_t optional = header + 24;
  if (Read16(file, optional) != 0x10b) {
    why = std::string(path) + " is no PE32 file";
    return false;
  }
  module.imageBase = Read32(file, optional + 28);
  module.imageSize = Read32(file, optional + 56);
  const std::size_t sectionTable = optional + Read16(file, header + 20);
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    const std::size_t at = sectionTable + 40u * i;
    module.sections.push_back({Read32(file, at + 12), Read32(file, at + 8), Read32(file, at + 20),
                               Read32(file, at + 16)});
  }

  const std::size_t exports = module.FileOffsetOf(Read32(file, optional + 96));
  const std::uint32_t nameCount = Read32(file, exports + 24);
  const std::size_t functions = module.FileOffsetOf(Read32(file, exports + 28));
  const std::size_t names = module.FileOffsetOf(Read32(file, exports + 32));
  const std::size_t ordinals = module.FileOffsetOf(Read32(file, exports + 36));
  for (std::uint32_t i = 0; i < nameCount; ++i) {
    const std::size_t name = module.FileOffsetOf(Read32(file, names + 4u * i));
    if (name + sizeof kEntryName > file.size() ||
        std::memcmp(file.data() + name, kEntryName, sizeof kEntryName) != 0) {
      continue;
    }
    const std::uint16_t ordinal = Read16(file, ordinals + 2u * i);
    module.entry = module.imageBase + Read32(file, functions + 4u * ordinal);
    return true;
  }
  why = std::string(path) + " does not export " + kEntryName;
  return false;
}

// `ret`, `ret N` or `rep ret`.
bool IsReturn(const Module& module, std::uint32_t address) {
  const std::uint8_t first = module.ByteAt(address);
  return first == 0xc3 || first == 0xc2 || (first == 0xf3 && module.ByteAt(address + 1) == 0xc3);
}

struct CallCount {
  std::uint64_t module = 0;
  std::uint64_t imports = 0;
  std::uint64_t host = 0;
};

// One line of the log: the instruction's address and its function's name, if any.
bool ParseTraceLine(std::string_view line, std::uint32_t& address, std::string_view& symbol) {
  if (line.substr(0, 6) != "Trace ") return false;
  const std::size_t open = line.find('[');
  const std::size_t slash = line.find('/', open);
  const std::size_t close = line.find(']', slash);
  if (open == std::string_view::npos || slash == std::string_view::npos ||
      close == std::string_view::npos) {
    return false;
  }
  address =
      static_cast<std::uint32_t>(std::stoul(std::string(line.substr(slash + 1, 8)), nullptr, 16));
  symbol = close + 2 <= line.size() ? line.substr(close + 2) : std::string_view();
  return true;
}

int CountCalls(const char* modulePath) {
  Module module;
  std::string why;
  if (!LoadModule(modulePath, module, why)) {
    std::fprintf(stderr, "serix-dll-instruction-count: %s\n", why.c_str());
    return 2;
  }
  enum class Where { kOutside, kModule, kImport, kHost };
  Where where = Where::kOutside;
  std::uint32_t previous = 0;
  std::vector<CallCount> calls;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::uint32_t address = 0;
    std::string_view symbol;
    if (!ParseTraceLine(line, address, symbol)) continue;
    if (address == module.entry) {
      calls.emplace_back();
      where = Where::kModule;
    }
    if (where == Where::kOutside) continue;
    if (module.Contains(address)) {
      where = Where::kModule;
    } else if (where == Where::kModule) {
      // Leaving the module: the call returns, or calls out.
      if (IsReturn(module, previous)) {
        where = Where::kOutside;
        continue;
      }
      where = symbol.empty() || symbol.substr(0, kStandInPrefix.size()) == kStandInPrefix
                  ? Where::kImport
                  : Where::kHost;
    }
    CallCount& call = calls.back();
    (where == Where::kModule ? call.module : where == Where::kImport ? call.imports : call.host)++;
    previous = address;
  }
  if (calls.empty()) {
    std::fprintf(stderr,
                 "serix-dll-instruction-count: the log shows no call of %s at 0x%08x: the module "
                 "was not loaded at its preferred base, or the log is no exec log\n",
                 kEntryName, module.entry);
    return 1;
  }
  for (const CallCount& call : calls) {
    std::printf("%llu %llu %llu\n", static_cast<unsigned long long>(call.module),
                static_cast<unsigned long long>(call.imports),
                static_cast<unsigned long long>(call.host));
  }
  return 0;
}

void PrintCases() {
  for (const RangeCase& range : kRangeCases) {
    std::printf("%.*s\t%.*s\t%.*s\t%zu\t%.1f\n", static_cast<int>(range.label.size()),
                range.label.data(), static_cast<int>(range.name.size()), range.name.data(),
                static_cast<int>(range.argument.size()), range.argument.data(),
                range.expectedLength, range.moduleInstructionsPerEntryTarget);
  }
}

}  // namespace
}  // namespace serix::bench

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--cases") == 0) {
    serix::bench::PrintCases();
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: serix-dll-instruction-count --cases | MODULE < LOG\n");
    return 2;
  }
  return serix::bench::CountCalls(argv[1]);
}
