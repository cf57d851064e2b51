#include "range/range_warning.h"

#include <array>
#include <cstring>

#include "platform/platform.h"
#include "resources/resource_texts.h"
#include "settings/alerts.h"

namespace serix {
namespace {

constexpr std::uint32_t kLeastTicksBetweenWarnings = 300;

using WarningTextBuffer = std::array<char, kWarningDialogTextSize>;

// The buffer as the library is loaded: the default text, filled in at compile time.
constexpr WarningTextBuffer DefaultWarningBuffer() {
  WarningTextBuffer buffer{};
  for (std::size_t i = 0; DefaultWarningDialogText[i] != '\0'; ++i) {
    buffer[i] = DefaultWarningDialogText[i];
  }
  return buffer;
}
static_assert(DefaultWarningBuffer()[kWarningDialogTextSize - 1] == '\0');

WarningTextBuffer warningDialogText = DefaultWarningBuffer();
std::uint32_t lastWarningTicks = 0;

}  // namespace

const char* WarningDialogText() {
  return warningDialogText.data();
}

void SetWarningDialogText(const char* text) {
  const std::size_t length = strnlen(text, kWarningDialogTextSize - 1);
  std::memcpy(warningDialogText.data(), text, length);
  warningDialogText[length] = '\0';
}

std::uint32_t CurrentTicks() {
  return platform::MillisecondCounter() / 50 * 3;
}

void ShowRangeWarningIfDue() {
  const std::uint32_t now = CurrentTicks();
  // A reading below the last one means the millisecond counter wrapped since then.
  const bool counterWrapped = now < lastWarningTicks;
  if (!counterWrapped && lastWarningTicks + kLeastTicksBetweenWarnings >= now) return;
  ShowTextAlert(SERIX_IDS_RANGE_WARNING_CAPTION, WarningDialogText());
  lastWarningTicks = CurrentTicks();
}

void ResetRangeWarning() {
  warningDialogText = DefaultWarningBuffer();
  lastWarningTicks = 0;
}

}  // namespace serix
