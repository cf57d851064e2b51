// A platform seam for test programs that link the plug-in's core directly: message boxes are
// recorded instead of shown, the registry refuses every key, strings come from the table
// the module is built from, and the millisecond counter stands still.
#pragma once

#include <string>
#include <vector>

namespace serix::wintest {

struct CapturedMessage {
  std::string caption;
  std::string text;
};

const std::vector<CapturedMessage>& CapturedMessages();
void ClearCapturedMessages();

}  // namespace serix::wintest
