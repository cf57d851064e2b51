#include "capturing_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "resources/string_table.h"

namespace serix::wintest {
namespace {

std::vector<CapturedMessage>& Messages() {
  static std::vector<CapturedMessage> messages;
  return messages;
}

}  // namespace

const std::vector<CapturedMessage>& CapturedMessages() {
  return Messages();
}
void ClearCapturedMessages() {
  Messages().clear();
}

}  // namespace serix::wintest

namespace serix::platform {

std::int32_t CreateUserKey(const char* /*path*/, RegistryKey& /*key*/) {
  return kErrorAccessDenied;
}
void CloseKey(RegistryKey /*key*/) {}
std::int32_t QueryValue(RegistryKey /*key*/, const char* /*name*/, std::uint32_t& /*type*/,
                        unsigned char* /*data*/, std::uint32_t& /*size*/) {
  return kErrorAccessDenied;
}
std::int32_t SetValue(RegistryKey /*key*/, const char* /*name*/, std::uint32_t /*type*/,
                      const unsigned char* /*data*/, std::uint32_t /*size*/) {
  return kErrorAccessDenied;
}

int LoadModuleString(ModuleInstance /*module*/, std::uint32_t id, char* buffer, int bufferSize) {
  if (bufferSize <= 0) return 0;
  const std::string_view text = resources::FindString(id);
  const auto copied = std::min<std::size_t>(text.size(), static_cast<std::size_t>(bufferSize - 1));
  std::memcpy(buffer, text.data(), copied);
  buffer[copied] = '\0';
  return static_cast<int>(copied);
}

void SimpleBeep() {}

void ShowTaskModalMessage(const char* caption, const char* text) {
  wintest::Messages().push_back({caption, text});
}

std::uint32_t MillisecondCounter() {
  return 0;
}

}  // namespace serix::platform
