// A module's resource tree, read through the image view: three levels (type, name, language),
// each a table of entries by integer id or by name, the last pointing at the data.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "image_view.h"

namespace serix::host::dll {

class ModuleResources {
 public:
  ModuleResources() = default;  // a module without resources
  ModuleResources(const ImageView& image, std::uint32_t rva, std::uint32_t size)
      : image_(image), rva_(rva), size_(size) {}

  // True when the tree is whole: every table and entry inside the directory, named entries'
  // names too, no table reached twice, data entries only at the third level and their bytes
  // readable in the image. False, saying why, otherwise.
  bool Check(std::string& why) const;

  // The resource of a type and integer name, in the first language it has; empty when missing
  // or unreadable now.
  std::span<const std::uint8_t> Find(std::uint32_t type, std::uint32_t name) const;
  // The ids of every integer-named resource of a type, in stored order.
  std::vector<std::uint32_t> Names(std::uint32_t type) const;

 private:
  struct Entry {
    std::uint32_t name;
    std::uint32_t target;  // from the directory's start; the high bit marks a table
  };
  // The entries of the table at `table`; none when it runs past the directory or cannot be read.
  std::optional<std::vector<Entry>> Entries(std::uint32_t table) const;
  bool CheckTable(std::uint32_t table, int level, std::set<std::uint32_t>& seen,
                  std::string& why) const;
  std::span<const std::uint8_t> Data(std::uint32_t entry) const;

  ImageView image_;
  std::uint32_t rva_ = 0;
  std::uint32_t size_ = 0;
};

}  // namespace serix::host::dll
