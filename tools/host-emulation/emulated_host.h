// The host side of the plug-in interface, as the database application provides it: a call
// block, relocatable handles and the five memory callbacks, with a trace of every callback,
// injectable callback failures, and guard bytes behind every handle's data.
//
// Platform-neutral: the same code drives the plug-in linked into a native process and the
// real DLL loaded on Windows. Only one EmulatedHost may make calls at a time, since the
// callbacks carry no context of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/call_block.h"

namespace serix::host {

using EntryProc = void(SERIX_STDCALL*)(CallBlock*);

// The plug-in as the host reaches it.
struct PluginModule {
  EntryProc entry = nullptr;
  ModuleInstance instance = nullptr;
};

enum class HandleRole { kArgument, kResult };
enum class FaultyCallback { kSetHandleSize, kLockHandle };

// The nth call (from 1) of callback on handle fails: it changes nothing, and the next
// memoryError answers kInjectedMemoryError.
struct Fault {
  FaultyCallback callback = FaultyCallback::kSetHandleSize;
  HandleRole handle = HandleRole::kResult;
  int nth = 1;
};

inline constexpr std::int16_t kInjectedMemoryError = -108;

struct FunctionOutcome {
  std::string result;               // the result handle's text afterwards
  bool touched = false;             // any callback on the result handle
  std::vector<std::string> trace;   // every callback, in order
  std::vector<std::string> locked;  // handles still locked afterwards
  bool overrun = false;             // a write past a handle's data was seen
};

// What the host does beyond the callbacks' own work. Tests keep the defaults; benchmarks turn
// the checking off so that the time measured is the plug-in's, not the host's bookkeeping.
struct HostOptions {
  // Record every callback in FunctionOutcome::trace.
  bool traceCallbacks = true;
  // Copy the result text into FunctionOutcome::result (otherwise read ResultText()).
  bool copyResult = true;
  // Move a handle's data on every resize, so that a plug-in that kept an old address is
  // caught, and clear the bytes a resize adds. When off, a resize within the block's
  // capacity keeps the data where it is and added bytes are left as they were, as a
  // memory manager that grows and shrinks blocks in place does.
  bool relocateOnResize = true;
};

// A host for measuring: no trace, no copy of the result, handles resized in place.
inline constexpr HostOptions kLeanHost{false, false, false};

struct EventOutcome {
  std::uint32_t resultField = 0;
  bool blockUnchanged = true;
};

class EmulatedHost {
 public:
  explicit EmulatedHost(PluginModule plugin, HostOptions options = {});
  ~EmulatedHost();
  EmulatedHost(const EmulatedHost&) = delete;
  EmulatedHost& operator=(const EmulatedHost&) = delete;

  // The Initialise call; returns the answer left in the block's result field.
  std::int32_t Initialise(std::int16_t interfaceVersion);

  // A call block of any kind but ExternalFunction, with only the callbacks, the module
  // instance and the interface version set; the result field starts as 0x5EED5EED.
  EventOutcome Event(std::uint8_t callKind, std::int16_t interfaceVersion = 0);

  // An ExternalFunction call with function index, the argument text and the text the result
  // handle holds before the call.
  FunctionOutcome CallFunction(std::uint32_t functionIndex, std::string_view argument,
                               std::string_view resultBefore = {},
                               std::optional<Fault> fault = std::nullopt);

  // The same call with `work` run in place of the plug-in's entry point, the block set up and
  // the callbacks live: a host with the plug-in linked in runs a part of a function this way.
  FunctionOutcome CallWith(std::uint32_t functionIndex, std::string_view argument,
                           const std::function<void(CallBlock*)>& work);

  const PluginModule& plugin() const { return plugin_; }

  // The result handle's text as the last call left it; valid until the next call.
  std::string_view ResultText() const;

  struct Handles;

 private:
  CallBlock MakeBlock(std::uint8_t callKind) const;
  FunctionOutcome Call(std::uint32_t functionIndex, std::string_view argument,
                       std::string_view resultBefore, std::optional<Fault> fault,
                       const std::function<void(CallBlock*)>& work);

  PluginModule plugin_;
  std::unique_ptr<Handles> handles_;
};

}  // namespace serix::host
