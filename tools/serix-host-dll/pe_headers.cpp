#include "pe_headers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace serix::host::dll {
namespace {

constexpr std::uint16_t kMachineI386 = 0x14C;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint16_t kFileIsDll = 0x2000;
constexpr std::uint32_t kBaseAlignment = 0x10000;  // Windows places modules on 64 KiB bounds
constexpr std::uint32_t kMaxImageSize = 1u << 30;  // so that no sum of two sizes can wrap

constexpr std::uint32_t kSectionExecute = 0x20000000;
constexpr std::uint32_t kSectionRead = 0x40000000;
constexpr std::uint32_t kSectionWrite = 0x80000000;

// The file's bytes, read with bounds: a read past the end answers zero.
class FileBytes {
 public:
  explicit FileBytes(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool Has(std::uint32_t at, std::uint32_t length) const {
    return at <= bytes_.size() && length <= bytes_.size() - at;
  }
  std::uint32_t Word(std::uint32_t at) const { return Read<std::uint32_t>(at); }
  std::uint16_t Half(std::uint32_t at) const { return Read<std::uint16_t>(at); }

 private:
  template <typename T>
  T Read(std::uint32_t at) const {
    T value{};
    if (Has(at, sizeof value)) std::memcpy(&value, bytes_.data() + at, sizeof value);
    return value;
  }
  std::span<const std::uint8_t> bytes_;
};

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

std::uint32_t PagesOf(std::uint32_t size) {
  return size / kPageSize + (size % kPageSize != 0 ? 1 : 0);
}

std::uint32_t SectionProtection(std::uint32_t flags) {
  const bool write = (flags & kSectionWrite) != 0;
  if ((flags & kSectionExecute) != 0) return write ? kPageExecuteReadWrite : kPageExecuteRead;
  if (write) return kPageReadWrite;
  return (flags & kSectionRead) != 0 ? kPageReadOnly : kPageNoAccess;
}

// The section table's entry `index` (from 0), checked against the file, the image and the
// section before it; none, saying why, when damaged.
std::optional<Section> ReadSection(const FileBytes& file, std::uint32_t at, std::uint32_t index,
                                   std::uint32_t declaredImageSize, std::uint32_t freeFrom,
                                   std::string& why) {
  Section section{file.Word(at + 12), file.Word(at + 8), file.Word(at + 20), file.Word(at + 16),
                  file.Word(at + 36)};
  const std::string name = "section " + std::to_string(index + 1);
  if (section.size == 0) section.size = section.rawSize;
  if (section.rawSize == 0) section.rawOffset = 0;
  if (section.rva % kPageSize != 0) {
    why = name + " is not on a page boundary";
  } else if (section.rva > declaredImageSize || section.size > declaredImageSize - section.rva) {
    why = name + " runs past SizeOfImage";
  } else if (!file.Has(section.rawOffset, section.rawSize)) {
    why = name + "'s data runs past the end of the file";
  } else if (section.rva < freeFrom) {
    why = name + " overlaps the headers or the section before it";
  } else {
    section.rawSize = std::min(section.rawSize, section.size);
    return section;
  }
  return std::nullopt;
}

}  // namespace

bool IsReadable(std::uint32_t protection) {
  switch (protection) {
    case 0x02:  // PAGE_READONLY
    case 0x04:  // PAGE_READWRITE
    case 0x08:  // PAGE_WRITECOPY
    case 0x20:  // PAGE_EXECUTE_READ
    case 0x40:  // PAGE_EXECUTE_READWRITE
    case 0x80:  // PAGE_EXECUTE_WRITECOPY
      return true;
    default:
      return false;
  }
}

std::optional<PeHeaders> ReadPeHeaders(std::span<const std::uint8_t> bytes, std::string& why) {
  const FileBytes file(bytes);
  const std::uint32_t pe = file.Word(0x3C);
  const std::uint32_t fileHeader = pe + 4;
  const std::uint32_t optional = fileHeader + 20;
  const std::uint32_t optionalSize = file.Half(fileHeader + 16);
  const std::uint16_t magic = file.Half(optional);
  if (file.Half(0) != 0x5A4D) {  // "MZ"
    why = "not a Windows module (no MZ signature)";
  } else if (!file.Has(0x3C, 4)) {
    why = "not a Windows module (its DOS header is cut short)";
  } else if (file.Word(pe) != 0x00004550) {  // "PE\0\0"
    why = "not a Windows module (no PE signature)";
  } else if (!file.Has(fileHeader, 20)) {
    why = "a damaged DLL: its file header is cut short";
  } else if (file.Half(fileHeader) != kMachineI386) {
    why = "a module for another machine (" + Hex(file.Half(fileHeader)) + "), not for i386";
  } else if (!file.Has(optional, optionalSize) || optionalSize < 2) {
    why = "a damaged DLL: its optional header is cut short";
  } else if (magic == kMagicPe32Plus) {
    why = "a 64-bit module (PE32+), not a 32-bit one";
  } else if (magic != kMagicPe32) {
    why = "a damaged DLL: its optional header's magic " + Hex(magic) + " is unknown";
  } else if ((file.Half(fileHeader + 18) & kFileIsDll) == 0) {
    why = "a program, not a DLL (its DLL flag is clear)";
  } else {
    why.clear();
  }
  if (!why.empty()) return std::nullopt;

  PeHeaders headers;
  headers.entryRva = file.Word(optional + 16);
  headers.preferredBase = file.Word(optional + 28);
  const std::uint32_t declaredImageSize = file.Word(optional + 56);
  headers.headersSize = file.Word(optional + 60);
  const std::uint32_t directories = std::min<std::uint32_t>(file.Word(optional + 92), 16);
  const std::uint32_t sectionCount = file.Half(fileHeader + 2);
  const std::uint32_t sectionTable = optional + optionalSize;
  if (optionalSize < 96 + directories * 8) {
    why = "a damaged DLL: its optional header is too short for its data directories";
  } else if (declaredImageSize == 0 || declaredImageSize > kMaxImageSize) {
    why = "a damaged DLL: its SizeOfImage " + Hex(declaredImageSize) + " is zero or beyond 1 GiB";
  } else if (headers.headersSize > declaredImageSize || !file.Has(0, headers.headersSize)) {
    why = "a damaged DLL: its headers (SizeOfHeaders " + Hex(headers.headersSize) +
          ") run past the file or the image";
  } else if (sectionTable + sectionCount * 40 > headers.headersSize) {
    why = "a damaged DLL: its section table runs past its headers";
  } else if (headers.preferredBase % kBaseAlignment != 0) {
    why = "a damaged DLL: its image base " + Hex(headers.preferredBase) +
          " is not a multiple of 64 KiB";
  }
  if (!why.empty()) return std::nullopt;
  headers.imageSize = PagesOf(declaredImageSize) * kPageSize;
  for (std::uint32_t i = 0; i < directories; ++i) {
    headers.directoryRva[i] = file.Word(optional + 96 + i * 8);
    headers.directorySize[i] = file.Word(optional + 100 + i * 8);
  }
  // The headers take at least their first page, as PlannedProtections gives them.
  std::uint32_t freeFrom = std::max<std::uint32_t>(1, PagesOf(headers.headersSize)) * kPageSize;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    std::optional<Section> section =
        ReadSection(file, sectionTable + i * 40, i, declaredImageSize, freeFrom, why);
    if (!section) {
      why = "a damaged DLL: " + why;
      return std::nullopt;
    }
    freeFrom = section->rva + PagesOf(section->size) * kPageSize;
    headers.sections.push_back(*section);
  }
  return headers;
}

bool IsCode(const PeHeaders& headers, std::uint32_t rva) {
  for (const Section& section : headers.sections) {
    if ((section.flags & kSectionExecute) != 0 && rva - section.rva < section.size) return true;
  }
  return false;
}

std::vector<std::uint32_t> PlannedProtections(const PeHeaders& headers) {
  std::vector<std::uint32_t> pages(headers.imageSize / kPageSize, kPageNoAccess);
  const std::uint32_t headerPages = std::max<std::uint32_t>(1, PagesOf(headers.headersSize));
  std::fill_n(pages.begin(), std::min<std::size_t>(headerPages, pages.size()), kPageReadOnly);
  for (const Section& section : headers.sections) {
    const std::size_t first = section.rva / kPageSize;
    std::fill_n(pages.data() + first, PagesOf(section.size), SectionProtection(section.flags));
  }
  return pages;
}

void LayOutImage(std::span<const std::uint8_t> file, const PeHeaders& headers,
                 std::span<std::uint8_t> image) {
  std::memcpy(image.data(), file.data(), headers.headersSize);
  for (const Section& section : headers.sections) {
    if (section.rawSize == 0) continue;
    std::memcpy(image.data() + section.rva, file.data() + section.rawOffset, section.rawSize);
  }
}

}  // namespace serix::host::dll
