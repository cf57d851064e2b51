#include "image_setup.h"

#include <cstdio>

#include "pe_resources.h"

namespace serix::host::dll {
namespace {

constexpr std::uint32_t kImportByNumber = 0x80000000u;
constexpr std::uint32_t kMaxZeroFill = 1u << 20;
constexpr std::size_t kMaxShownName = 64;

bool Damaged(std::string& why, const std::string& what) {
  why = "a damaged DLL: " + what;
  return false;
}

std::string Hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

// A name from the module, cut and with its control bytes escaped, for a message of one line.
std::string Shown(std::string_view name) {
  std::string shown;
  for (const char c : name.substr(0, kMaxShownName)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    shown += escaped;
  }
  return name.size() > kMaxShownName ? shown + "..." : shown;
}

// Type 3 (the whole 32-bit word) is the only one i386 modules are linked with; type 0 pads a
// block.
bool ApplyRelocations(const ImageView& image, const PeHeaders& headers, std::string& why) {
  const std::uint32_t delta = image.Address() - headers.preferredBase;
  const std::uint32_t start = headers.directoryRva[kRelocationDirectory];
  const std::uint32_t size = headers.directorySize[kRelocationDirectory];
  if (start == 0 || size == 0) {
    if (delta == 0) return true;
    why = "its preferred base is taken and it carries no base relocations";
    return false;
  }
  if (const char* place = image.Unreadable(start, size)) {
    return Damaged(why, "its base relocations lie " + std::string(place));
  }
  for (std::uint32_t done = 0; size - done >= 8;) {
    const std::uint32_t page = *image.Word(start + done);
    const std::uint32_t blockSize = *image.Word(start + done + 4);
    if (blockSize < 8 || blockSize > size - done) {
      return Damaged(why, "a base relocation block of " + Hex(blockSize) + " bytes");
    }
    for (std::uint32_t entry = 8; entry + 2 <= blockSize; entry += 2) {
      const std::uint16_t fixup = *image.Half(start + done + entry);
      const unsigned type = fixup >> 12;
      if (type == 0) continue;
      if (type != 3) {
        return Damaged(why, "a base relocation of type " + std::to_string(type) +
                                ", which i386 modules do not use");
      }
      const std::uint32_t target = page + (fixup & 0xFFFu);
      const std::optional<std::uint32_t> value = image.Word(target);
      if (!value) {
        return Damaged(
            why, "a base relocation at " + Hex(target) + " lies " + image.Unreadable(target, 4));
      }
      image.PutWord(target, *value + delta);
    }
    done += blockSize;
  }
  return true;
}

bool BindImports(const ImageView& image, const PeHeaders& headers, const ImportBinder& bind,
                 std::string& why) {
  const std::uint32_t table = headers.directoryRva[kImportDirectory];
  if (table == 0) return true;
  for (std::uint32_t descriptor = table;; descriptor += 20) {
    if (const char* place = image.Unreadable(descriptor, 20)) {
      return Damaged(why, "its import table lies " + std::string(place));
    }
    const std::uint32_t nameRva = *image.Word(descriptor + 12);
    if (nameRva == 0) return true;
    const std::optional<std::string_view> library = image.Name(nameRva);
    if (!library)
      return Damaged(why, "the name of a library it imports from runs out of its image");
    const std::uint32_t slots = *image.Word(descriptor + 16);
    const std::uint32_t lookup = *image.Word(descriptor) != 0 ? *image.Word(descriptor) : slots;
    for (std::uint32_t i = 0;; ++i) {
      // Lengths from the tables' starts, so that no sum can wrap past the image's end.
      if (image.Unreadable(lookup, (i + 1) * 4) != nullptr) {
        return Damaged(why, "its imports from " + Shown(*library) + " run out of its image");
      }
      const std::uint32_t byName = *image.Word(lookup + i * 4);
      if (byName == 0) break;
      if ((byName & kImportByNumber) != 0) {
        why = "imports from " + Shown(*library) + " by number, which this host does not do";
        return false;
      }
      const std::optional<std::string_view> function =
          byName <= image.Size() - 2 ? image.Name(byName + 2) : std::nullopt;
      if (!function) {
        return Damaged(why, "the name of a function it imports from " + Shown(*library) +
                                " runs out of its image");
      }
      const std::uint32_t address = bind(*library, *function);
      if (address == 0) {
        why = "imports " + Shown(*function) + " from " + Shown(*library) +
              ", which this host does not provide";
        return false;
      }
      if (image.Unreadable(slots, (i + 1) * 4) != nullptr) {
        return Damaged(
            why, "its import address table for " + Shown(*library) + " runs out of its image");
      }
      image.PutWord(slots + i * 4, address);
    }
  }
}

bool FindExport(const ImageView& image, const PeHeaders& headers, std::string_view wanted,
                std::uint32_t& rva, std::string& why) {
  const std::uint32_t directory = headers.directoryRva[kExportDirectory];
  const std::uint32_t directorySize = headers.directorySize[kExportDirectory];
  if (directory == 0) {
    why = "exports nothing";
    return false;
  }
  if (const char* place = image.Unreadable(directory, 40)) {
    return Damaged(why, "its export directory lies " + std::string(place));
  }
  const std::uint32_t functionCount = *image.Word(directory + 20);
  const std::uint32_t nameCount = *image.Word(directory + 24);
  const std::uint32_t functions = *image.Word(directory + 28);
  const std::uint32_t names = *image.Word(directory + 32);
  const std::uint32_t ordinals = *image.Word(directory + 36);
  if (nameCount > image.Size() / 4 || image.Unreadable(names, nameCount * 4) != nullptr ||
      image.Unreadable(ordinals, nameCount * 2) != nullptr) {
    return Damaged(why, "its table of exported names runs out of its image");
  }
  for (std::uint32_t i = 0; i < nameCount; ++i) {
    const std::optional<std::string_view> name = image.Name(*image.Word(names + i * 4));
    if (!name) return Damaged(why, "an exported name runs out of its image");
    if (*name != wanted) continue;
    const std::uint16_t ordinal = *image.Half(ordinals + i * 2);
    const bool listed =
        ordinal < functionCount && image.Unreadable(functions, (ordinal + 1u) * 4) == nullptr;
    const std::optional<std::uint32_t> address =
        listed ? image.Word(functions + ordinal * 4u) : std::nullopt;
    if (!address) return Damaged(why, "its export " + std::string(wanted) + " has no address");
    // An address inside the export directory names a function of another DLL.
    if (*address - directory < directorySize) {
      why = "exports " + std::string(wanted) + " as a forward to another DLL";
      return false;
    }
    if (!IsCode(headers, *address)) {
      return Damaged(why, "its export " + std::string(wanted) + " lies outside its code");
    }
    rva = *address;
    return true;
  }
  why = "exports no " + std::string(wanted);
  return false;
}

// Index 0 for the module's thread-local data: written where the directory says, the template
// (and its zero fill) copied, the callbacks listed.
bool ReadTls(const ImageView& image, const PeHeaders& headers, ImageTls& tls, std::string& why) {
  const std::uint32_t directory = headers.directoryRva[kTlsDirectory];
  if (directory == 0) return true;
  if (const char* place = image.Unreadable(directory, 24)) {
    return Damaged(why, "its TLS directory lies " + std::string(place));
  }
  const std::uint32_t startAddress = *image.Word(directory);
  const std::uint32_t endAddress = *image.Word(directory + 4);
  const std::uint32_t zeroFill = *image.Word(directory + 16);
  if (startAddress != 0 || endAddress != 0) {
    const std::optional<std::uint32_t> start = image.RvaOf(startAddress);
    const std::optional<std::uint32_t> end = image.RvaOf(endAddress);
    const std::uint8_t* from =
        start && end && *end >= *start ? image.Bytes(*start, *end - *start) : nullptr;
    if (from == nullptr) return Damaged(why, "its thread-local template lies outside its image");
    tls.data.assign(from, from + (*end - *start));
  }
  if (zeroFill > kMaxZeroFill) {
    return Damaged(why,
                   "its thread-local zero fill of " + Hex(zeroFill) + " bytes is beyond 1 MiB");
  }
  tls.data.resize(tls.data.size() + zeroFill, 0);
  const std::optional<std::uint32_t> index = image.RvaOf(*image.Word(directory + 8));
  if (!index || !image.PutWord(*index, 0))
    return Damaged(why, "its TLS index lies outside its image");
  tls.indexRva = *index;
  tls.present = true;
  const std::uint32_t listAddress = *image.Word(directory + 12);
  if (listAddress == 0) return true;
  const std::optional<std::uint32_t> list = image.RvaOf(listAddress);
  for (std::uint32_t i = 0;; ++i) {
    if (!list || image.Unreadable(*list, (i + 1) * 4) != nullptr) {
      return Damaged(why, "its list of TLS callbacks runs out of its image");
    }
    const std::uint32_t callback = *image.Word(*list + i * 4);
    if (callback == 0) return true;
    const std::optional<std::uint32_t> at = image.RvaOf(callback);
    if (!at || !IsCode(headers, *at)) return Damaged(why, "a TLS callback lies outside its code");
    tls.callbacks.push_back(*at);
  }
}

}  // namespace

bool PrepareImage(const ImageView& image, const PeHeaders& headers, const ImportBinder& bind,
                  std::string_view exportName, PreparedImage& prepared, std::string& why) {
  if (!ApplyRelocations(image, headers, why) || !BindImports(image, headers, bind, why) ||
      !ReadTls(image, headers, prepared.tls, why) ||
      !FindExport(image, headers, exportName, prepared.exportRva, why)) {
    return false;
  }
  if (headers.entryRva != 0 && !IsCode(headers, headers.entryRva)) {
    return Damaged(why, "its entry point lies outside its code");
  }
  const ModuleResources resources(image, headers.directoryRva[kResourceDirectory],
                                  headers.directorySize[kResourceDirectory]);
  std::string damage;
  if (!resources.Check(damage)) return Damaged(why, damage);
  return true;
}

}  // namespace serix::host::dll
