// The headers of a 32-bit Windows DLL (PE32, i386) read from its file and checked as Windows'
// loader checks them before it maps anything; the page protections its sections ask for; and
// the image laid out from the file. Portable, so that the fuzzer reads modules on any machine.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace serix::host::dll {

inline constexpr std::uint32_t kPageSize = 4096;

// Windows' page protections (PAGE_*).
inline constexpr std::uint32_t kPageNoAccess = 0x01;
inline constexpr std::uint32_t kPageReadOnly = 0x02;
inline constexpr std::uint32_t kPageReadWrite = 0x04;
inline constexpr std::uint32_t kPageExecuteRead = 0x20;
inline constexpr std::uint32_t kPageExecuteReadWrite = 0x40;

// Whether code in the module (and this host's readers) may read a page of this protection.
bool IsReadable(std::uint32_t protection);

enum Directory : std::uint32_t {
  kExportDirectory = 0,
  kImportDirectory = 1,
  kResourceDirectory = 2,
  kRelocationDirectory = 5,
  kTlsDirectory = 9
};

struct Section {
  std::uint32_t rva = 0;
  std::uint32_t size = 0;  // in memory
  std::uint32_t rawOffset = 0;
  std::uint32_t rawSize = 0;  // the bytes copied from the file: at most size
  std::uint32_t flags = 0;
};

struct PeHeaders {
  std::uint32_t preferredBase = 0;
  std::uint32_t imageSize = 0;  // whole pages
  std::uint32_t headersSize = 0;
  std::uint32_t entryRva = 0;
  std::uint32_t directoryRva[16] = {};
  std::uint32_t directorySize[16] = {};
  std::vector<Section> sections;  // in ascending order, none overlapping another or the headers
};

// The headers of the module in `file`; none, saying why (a phrase to follow the file's name),
// when it is no PE32 i386 DLL or its headers are damaged.
std::optional<PeHeaders> ReadPeHeaders(std::span<const std::uint8_t> file, std::string& why);

// Whether rva lies inside an executable section.
bool IsCode(const PeHeaders& headers, std::uint32_t rva);

// The protection of every page of the image: the headers read-only, each section as its flags
// ask, the pages no section covers inaccessible.
std::vector<std::uint32_t> PlannedProtections(const PeHeaders& headers);

// Copies the headers and each section's bytes from the file into `image` (imageSize bytes, all
// zero). The headers must come from ReadPeHeaders on the same file.
void LayOutImage(std::span<const std::uint8_t> file, const PeHeaders& headers,
                 std::span<std::uint8_t> image);

}  // namespace serix::host::dll
