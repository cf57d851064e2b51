// fuzz-registry-file: any bytes as the file-backed registry's file. Reading never fails
// badly, and whatever reads as keys is written back in a form that reads as the same keys.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/portable/registry_file_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace serix::portable;
  const auto keys = ParseRegistryFile({reinterpret_cast<const char*>(data), size});
  if (!keys) return 0;
  const std::string written = EncodeRegistryFile(*keys);
  const auto again = ParseRegistryFile(written);
  if (!again || *again != *keys || EncodeRegistryFile(*again) != written) std::abort();
  return 0;
}
