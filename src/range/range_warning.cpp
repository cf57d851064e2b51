#include "range/range_warning.h"

#include <cstring>

#include "platform/platform.h"
#include "resources/resource_texts.h"
#include "settings/alerts.h"

namespace serix {
namespace {

constexpr std::uint32_t kLeastTicksBetweenWarnings = 300;

char warningDialogText[kWarningDialogTextSize];
bool warningTextSet = false;
std::uint32_t lastWarningTicks = 0;

}  // namespace

const char* WarningDialogText() {
  return warningTextSet ? warningDialogText : DefaultWarningDialogText;
}

void SetWarningDialogText(const char* text) {
  const std::size_t length = strnlen(text, kWarningDialogTextSize - 1);
  std::memcpy(warningDialogText, text, length);
  warningDialogText[length] = '\0';
  warningTextSet = true;
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
  warningTextSet = false;
  lastWarningTicks = 0;
}

}  // namespace serix
