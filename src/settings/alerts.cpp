#include "settings/alerts.h"

#include <cstring>

#include "format/decimal_text.h"
#include "host/host_calls.h"
#include "platform/platform.h"

namespace serix {
namespace {

constexpr int kAlertBufferSize = 256;
// The loader is told one character less than the buffer holds.
constexpr int kCaptionLoadLimit = kAlertBufferSize - 1;

void ShowAlert(std::uint32_t captionId, const char* text) {
  char caption[kAlertBufferSize];
  const CallBlock* block = CurrentCallBlock();
  platform::LoadModuleString(block != nullptr ? block->moduleInstance : nullptr, captionId, caption,
                             kCaptionLoadLimit);
  platform::SimpleBeep();
  platform::ShowTaskModalMessage(caption, text);
}

}  // namespace

void ShowErrorNumberAlert(std::uint32_t captionId, std::uint32_t number) {
  static constexpr char kBefore[] = " error number ";
  static constexpr char kAfter[] = "  ";
  char text[kAlertBufferSize];
  std::size_t length = sizeof kBefore - 1;
  std::memcpy(text, kBefore, length);
  length += static_cast<std::size_t>(format::WriteUnsigned(text + length, number));
  std::memcpy(text + length, kAfter, sizeof kAfter);
  ShowAlert(captionId, text);
}

void ShowTextAlert(std::uint32_t captionId, const char* text) {
  ShowAlert(captionId, text);
}

}  // namespace serix
