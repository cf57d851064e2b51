#include "function_names.h"

#include "platform/ascii_case.h"
#include "resources/resource_texts.h"

namespace serix::host {
std::vector<std::string> FunctionNames(const std::map<std::uint32_t, std::string>& strings) {
  std::vector<std::string> names;
  for (std::uint32_t id = SERIX_IDS_FUNCTION_VERSION;; ++id) {
    const auto found = strings.find(id);
    if (found == strings.end() || found->second.empty()) break;
    names.push_back(found->second);
  }
  return names;
}

std::optional<std::uint32_t> FindFunction(const std::vector<std::string>& names,
                                          std::string_view name) {
  for (std::size_t index = 0; index < names.size(); ++index) {
    if (SameIgnoringAsciiCase(names[index], name)) return static_cast<std::uint32_t>(index);
  }
  return std::nullopt;
}

std::string JoinNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += ", ";
    joined += name;
  }
  return joined;
}

}  // namespace serix::host
