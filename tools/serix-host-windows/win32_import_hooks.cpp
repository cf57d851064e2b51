#include "win32_import_hooks.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "message_box_rule.h"

namespace serix::host {
namespace {

using GetTickCountProc = DWORD(WINAPI*)();
using MessageBeepProc = BOOL(WINAPI*)(UINT);
using MessageBoxProc = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using CreateKeyProc = LONG(WINAPI*)(HKEY, LPCSTR, PHKEY);
using SetValueProc = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
using CloseKeyProc = LONG(WINAPI*)(HKEY);

constexpr UINT kSimpleBeep = 0xFFFFFFFF;

// The switches and records every host keeps, and the keys the module holds: Windows' own
// handles, which only this host sees.
struct HookState : portable::SteeredServices {
  std::vector<HKEY> heldKeys;

  // Windows' own functions, as the import table held them.
  MessageBeepProc messageBeep = nullptr;
  MessageBoxProc messageBox = nullptr;
  CreateKeyProc createKey = nullptr;
  SetValueProc setValue = nullptr;
  CloseKeyProc closeKey = nullptr;
};

HookState& State() {
  static HookState state;
  return state;
}

DWORD WINAPI TickCountStandIn() {
  return State().clockMilliseconds;
}

BOOL WINAPI MessageBeepStandIn(UINT type) {
  if (type == kSimpleBeep) ++State().beeps;
  return State().messageBeep(type);
}

int WINAPI MessageBoxStandIn(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  State().alerts.push_back({caption != nullptr ? caption : "", text != nullptr ? text : "",
                            MessageBoxDefect(owner != nullptr, style)});
  return State().messageBox(owner, text, caption, style);
}

LONG WINAPI CreateKeyStandIn(HKEY root, LPCSTR path, PHKEY key) {
  if (State().denyCreate) return ERROR_ACCESS_DENIED;
  const LONG status = State().createKey(root, path, key);
  if (status == ERROR_SUCCESS) State().heldKeys.push_back(*key);
  return status;
}

LONG WINAPI SetValueStandIn(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD size) {
  if (State().denyWrite) return ERROR_ACCESS_DENIED;
  return State().setValue(key, name, reserved, type, data, size);
}

LONG WINAPI CloseKeyStandIn(HKEY key) {
  std::vector<HKEY>& open = State().heldKeys;
  if (const auto at = std::find(open.begin(), open.end(), key); at != open.end()) open.erase(at);
  return State().closeKey(key);
}

struct ImportHook {
  const char* library;
  const char* function;
  void* standIn;
  void** original;  // receives Windows' own function; null where the stand-in needs none
  bool hooked = false;
};

template <typename Pointer>
Pointer AtOffset(HMODULE module, DWORD offset) {
  return reinterpret_cast<Pointer>(reinterpret_cast<BYTE*>(module) + offset);
}

void PointSlotAt(IMAGE_THUNK_DATA* slot, void* standIn) {
  DWORD protection = 0;
  VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
  slot->u1.Function = reinterpret_cast<ULONG_PTR>(standIn);
  VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
}

// Walks the module's import descriptors; every slot imported by name that a hook names is
// pointed at its stand-in.
void PatchImportTable(HMODULE module, ImportHook* hooks, std::size_t count) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(module);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
  const auto* headers =
      AtOffset<const IMAGE_NT_HEADERS*>(module, static_cast<DWORD>(dos->e_lfanew));
  if (headers->Signature != IMAGE_NT_SIGNATURE) return;
  const IMAGE_DATA_DIRECTORY& imports =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return;
  for (auto* library = AtOffset<const IMAGE_IMPORT_DESCRIPTOR*>(module, imports.VirtualAddress);
       library->Name != 0; ++library) {
    // Without the table of names the slots hold only addresses; nothing to match by name.
    if (library->OriginalFirstThunk == 0) continue;
    const char* libraryName = AtOffset<const char*>(module, library->Name);
    const auto* names = AtOffset<const IMAGE_THUNK_DATA*>(module, library->OriginalFirstThunk);
    auto* slots = AtOffset<IMAGE_THUNK_DATA*>(module, library->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* byName = AtOffset<const IMAGE_IMPORT_BY_NAME*>(
          module, static_cast<DWORD>(names->u1.AddressOfData));
      const char* functionName = reinterpret_cast<const char*>(byName->Name);
      for (ImportHook* hook = hooks; hook != hooks + count; ++hook) {
        if (lstrcmpiA(libraryName, hook->library) != 0 ||
            std::strcmp(functionName, hook->function) != 0) {
          continue;
        }
        if (hook->original != nullptr) {
          *hook->original = reinterpret_cast<void*>(slots->u1.Function);
        }
        PointSlotAt(slots, hook->standIn);
        hook->hooked = true;
      }
    }
  }
}

template <typename Function>
void* Untyped(Function function) {
  return reinterpret_cast<void*>(function);
}

template <typename Function>
void** OriginalSlot(Function& original) {
  return reinterpret_cast<void**>(&original);
}

}  // namespace

HookedImports HookPluginImports(HMODULE module) {
  HookState& state = State();
  state = HookState{};
  ImportHook hooks[] = {
      {"KERNEL32.dll", "GetTickCount", Untyped(&TickCountStandIn), nullptr},
      {"USER32.dll", "MessageBeep", Untyped(&MessageBeepStandIn), OriginalSlot(state.messageBeep)},
      {"USER32.dll", "MessageBoxA", Untyped(&MessageBoxStandIn), OriginalSlot(state.messageBox)},
      {"ADVAPI32.dll", "RegCreateKeyA", Untyped(&CreateKeyStandIn), OriginalSlot(state.createKey)},
      {"ADVAPI32.dll", "RegSetValueExA", Untyped(&SetValueStandIn), OriginalSlot(state.setValue)},
      {"ADVAPI32.dll", "RegCloseKey", Untyped(&CloseKeyStandIn), OriginalSlot(state.closeKey)},
  };
  PatchImportTable(module, hooks, std::size(hooks));
  const auto hooked = [&hooks](const char* function) {
    return std::any_of(std::begin(hooks), std::end(hooks), [function](const ImportHook& hook) {
      return hook.hooked && std::strcmp(hook.function, function) == 0;
    });
  };
  return {.clock = hooked("GetTickCount"),
          .deny = hooked("RegCreateKeyA") && hooked("RegSetValueExA"),
          .beeps = hooked("MessageBeep"),
          .open = hooked("RegCreateKeyA") && hooked("RegCloseKey"),
          .boxes = hooked("MessageBoxA")};
}

void SetHookedClock(std::uint32_t milliseconds) {
  State().clockMilliseconds = milliseconds;
}

void DenyKeyCreation(bool denied) {
  State().denyCreate = denied;
}

void DenyValueWriting(bool denied) {
  State().denyWrite = denied;
}

int HookedOpenKeys() {
  return static_cast<int>(State().heldKeys.size());
}

int TakeSimpleBeeps() {
  return std::exchange(State().beeps, 0);
}

std::vector<portable::ShownMessage> TakeMessageBoxRequests() {
  return std::exchange(State().alerts, {});
}

}  // namespace serix::host
