#include "linked_plugin.h"

#include "host/module.h"
#include "platform/portable/emulated_windows.h"

namespace serix::host {

PluginModule LinkedPlugin() {
  // Any address stands for the module; the portable string table ignores it.
  static char moduleToken;
  return {&FMExternCallProc, &moduleToken};
}

void ReloadLinkedPlugin() {
  ResetModuleState();
  portable::ResetServices();
}

}  // namespace serix::host
