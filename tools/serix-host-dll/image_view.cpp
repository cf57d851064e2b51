#include "image_view.h"

#include <cstring>

#include "pe_headers.h"

namespace serix::host::dll {

std::uint32_t ImageView::Size() const {
  return static_cast<std::uint32_t>(protections_.size()) * kPageSize;
}

const char* ImageView::Unreadable(std::uint32_t rva, std::uint32_t length) const {
  const std::uint32_t size = Size();
  if (memory_ == nullptr || rva > size || length > size - rva) return "outside its image";
  if (length == 0) return nullptr;
  const std::uint32_t last = (rva + (length - 1)) / kPageSize;
  for (std::uint32_t page = rva / kPageSize; page <= last; ++page) {
    if (!IsReadable(protections_[page])) return "in a page that cannot be read";
  }
  return nullptr;
}

const std::uint8_t* ImageView::Bytes(std::uint32_t rva, std::uint32_t length) const {
  return Writable(rva, length);
}

std::uint8_t* ImageView::Writable(std::uint32_t rva, std::uint32_t length) const {
  return Unreadable(rva, length) == nullptr ? memory_ + rva : nullptr;
}

std::optional<std::uint32_t> ImageView::Word(std::uint32_t rva) const {
  const std::uint8_t* at = Bytes(rva, 4);
  if (at == nullptr) return std::nullopt;
  std::uint32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

std::optional<std::uint16_t> ImageView::Half(std::uint32_t rva) const {
  const std::uint8_t* at = Bytes(rva, 2);
  if (at == nullptr) return std::nullopt;
  std::uint16_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

bool ImageView::PutWord(std::uint32_t rva, std::uint32_t value) const {
  std::uint8_t* at = Writable(rva, 4);
  if (at != nullptr) std::memcpy(at, &value, sizeof value);
  return at != nullptr;
}

std::optional<std::string_view> ImageView::Name(std::uint32_t rva) const {
  // Page by page, so that the search for the zero never enters a page that cannot be read.
  for (std::uint32_t at = rva; Unreadable(at, 1) == nullptr;) {
    const std::uint32_t room = kPageSize - at % kPageSize;
    const void* zero = std::memchr(memory_ + at, 0, room);
    if (zero != nullptr) {
      const auto length =
          static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - (memory_ + rva));
      return std::string_view(reinterpret_cast<const char*>(memory_ + rva), length);
    }
    at += room;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ImageView::RvaOf(std::uint32_t address) const {
  if (address - address_ >= Size()) return std::nullopt;
  return address - address_;
}

}  // namespace serix::host::dll
