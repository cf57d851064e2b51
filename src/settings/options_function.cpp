#include "settings/options_function.h"

#include "host/parameters.h"
#include "range/range_warning.h"

namespace serix {

std::int32_t OptionsFunction(HostHandle argumentHandle, HostHandle resultHandle) {
  constexpr std::int32_t kUnknownOption = -50;
  std::int32_t resultCode = 0;
  ParameterCursor cursor = 0;
  char option[ParameterCapacity + 1];
  char text[ParameterCapacity + 1];
  // A refused argument leaves the warning text and the result as they were.
  if (!ReadNextParameter(argumentHandle, option, ParameterCapacity, cursor) ||
      !ReadNextParameter(argumentHandle, text, ParameterCapacity, cursor)) {
    return 0;
  }
  if (!ContainsOption(option, "-setwarningdialogtext")) resultCode = kUnknownOption;
  SetWarningDialogText(text[0] != '\0' ? text : DefaultWarningDialogText);
  return SetResultCode("$$", resultCode, resultHandle);
}

}  // namespace serix
