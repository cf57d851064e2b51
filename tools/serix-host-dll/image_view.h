// The one way this host reads and writes a loaded module's image: every access names an rva
// and a length, and is answered only when all its bytes lie inside the image, in pages that
// can be read now (their protections are looked up at each access, as the module may change
// them). Whatever the module's tables say, the host then never touches memory it should not.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace serix::host::dll {

class ImageView {
 public:
  ImageView() = default;
  // `memory` holds the image, one protection (PAGE_*) per page of it; `address` is where the
  // module sees itself (its base), which its absolute addresses count from.
  ImageView(std::uint8_t* memory, std::uint32_t address, std::span<const std::uint32_t> protections)
      : memory_(memory), address_(address), protections_(protections) {}

  std::uint32_t Size() const;
  std::uint32_t Address() const { return address_; }

  // Null when [rva, rva + length) can be read; else where it lies, to end a message:
  // "outside its image" or "in a page that cannot be read".
  const char* Unreadable(std::uint32_t rva, std::uint32_t length) const;

  // The bytes, or null when Unreadable. The loader writes through Writable before it gives the
  // pages their protections, into the same pages it may read.
  const std::uint8_t* Bytes(std::uint32_t rva, std::uint32_t length) const;
  std::uint8_t* Writable(std::uint32_t rva, std::uint32_t length) const;

  std::optional<std::uint32_t> Word(std::uint32_t rva) const;
  std::optional<std::uint16_t> Half(std::uint32_t rva) const;
  bool PutWord(std::uint32_t rva, std::uint32_t value) const;
  // A zero-terminated name, every byte of it and its zero readable.
  std::optional<std::string_view> Name(std::uint32_t rva) const;

  // The rva of an absolute address the module holds; none when outside the image.
  std::optional<std::uint32_t> RvaOf(std::uint32_t address) const;

 private:
  std::uint8_t* memory_ = nullptr;
  std::uint32_t address_ = 0;
  std::span<const std::uint32_t> protections_;
};

}  // namespace serix::host::dll
