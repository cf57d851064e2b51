#include "host/version_function.h"

#include "host/parameters.h"

namespace serix {

std::int32_t VersionFunction(HostHandle argumentHandle, HostHandle resultHandle) {
  std::int32_t code = SetResultText(kPluginNameAndVersion, resultHandle);
  ParameterCursor cursor = 0;
  char option[ParameterCapacity + 1];
  // A refused argument keeps the name already written.
  if (!ReadNextParameter(argumentHandle, option, ParameterCapacity, cursor)) return code;
  if (option[0] != '\0' && ContainsOption(option, "-getversionnumber")) {
    code = SetResultText(kPluginVersionNumber, resultHandle);
  }
  return code;
}

}  // namespace serix
