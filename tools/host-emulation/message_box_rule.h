// How the plug-in must ask for a message box, judged by every host that sees the request (the
// Windows host through its stand-in for MessageBoxA, serix-host-dll through its import table):
// no owner window and the style MB_TASKMODAL alone (task-modal, one OK button, no icon).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace serix::host {

inline constexpr std::uint32_t kTaskModalStyle = 0x00002000;  // MB_TASKMODAL

// Empty for a box asked for the one right way; otherwise what differs, for people.
inline std::string MessageBoxDefect(bool hasOwner, std::uint32_t style) {
  std::string defect;
  if (hasOwner) defect = "an owner window";
  if (style != kTaskModalStyle) {
    char text[80];
    std::snprintf(text, sizeof text, "style 0x%08lX, not MB_TASKMODAL alone",
                  static_cast<unsigned long>(style));
    if (!defect.empty()) defect += "; ";
    defect += text;
  }
  return defect;
}

}  // namespace serix::host
