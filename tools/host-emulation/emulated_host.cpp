#include "emulated_host.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SERIX_HOST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define SERIX_HOST_ASAN 1
#endif
#ifdef SERIX_HOST_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace serix::host {
namespace {

constexpr std::size_t kGuardSize = 64;
constexpr unsigned char kGuardByte = 0xFD;
constexpr std::uintptr_t kResultFieldSeed = 0x5EED5EED;
// A handle never grows past this; a larger request fails like an exhausted memory manager.
constexpr std::uint32_t kMaxHandleSize = 64u << 20;

const char* RoleName(HandleRole role) {
  return role == HandleRole::kArgument ? "argument" : "result";
}

// One relocatable block: the handle is the address of `master`, which holds the address of
// the data. When relocating, every resize moves the data, so a plug-in that kept an old
// address is caught; otherwise a resize within the capacity keeps the data in place.
class RelocatableBlock {
 public:
  explicit RelocatableBlock(bool relocateOnResize) : relocate_(relocateOnResize) { Allocate(0); }
  ~RelocatableBlock() { Release(); }
  RelocatableBlock(const RelocatableBlock&) = delete;
  RelocatableBlock& operator=(const RelocatableBlock&) = delete;

  HostHandle handle() { return &master_; }
  std::uint32_t size() const { return size_; }
  std::string_view text() const { return {master_, size_}; }

  void Resize(std::uint32_t size) {
    if (!relocate_ && size <= capacity_) {
      UnpoisonTail();
      size_ = size;
      StampGuard();
      return;
    }
    UnpoisonTail();
    std::unique_ptr<char[]> previous = std::move(storage_);
    const std::uint32_t kept = std::min(size_, size);
    Allocate(size);
    std::memcpy(master_, previous.get(), kept);
    if (relocate_) std::memset(master_ + kept, 0, size - kept);
  }

  void Assign(std::string_view text) {
    Resize(static_cast<std::uint32_t>(text.size()));
    // An empty view may carry no address, and memcpy must never be given none.
    if (!text.empty()) std::memcpy(master_, text.data(), text.size());
  }

  bool GuardIntact() const {
    UnpoisonTail();
    const bool intact = std::all_of(master_ + size_, master_ + size_ + kGuardSize, [](char c) {
      return static_cast<unsigned char>(c) == kGuardByte;
    });
    PoisonTail();
    return intact;
  }

  int locks = 0;

 private:
  void Allocate(std::uint32_t size) {
    // Left uninitialised, as a memory manager hands out new blocks (and make_unique would
    // spend time clearing them); not make_unique_for_overwrite, which emscripten's library
    // lacks.
    storage_.reset(new char[size + kGuardSize]);
    capacity_ = size;
    size_ = size;
    master_ = storage_.get();
    StampGuard();
  }
  void StampGuard() {
    std::memset(master_ + size_, kGuardByte, kGuardSize);
    PoisonTail();
  }
  void Release() {
    if (storage_) UnpoisonTail();
    storage_.reset();
  }
  // Everything behind the data, guard bytes and unused capacity, is out of bounds.
  void PoisonTail() const {
#ifdef SERIX_HOST_ASAN
    ASAN_POISON_MEMORY_REGION(master_ + size_, capacity_ - size_ + kGuardSize);
#endif
  }
  void UnpoisonTail() const {
#ifdef SERIX_HOST_ASAN
    ASAN_UNPOISON_MEMORY_REGION(master_ + size_, capacity_ - size_ + kGuardSize);
#endif
  }

  bool relocate_;
  std::unique_ptr<char[]> storage_;
  char* master_ = nullptr;
  std::uint32_t size_ = 0;
  std::uint32_t capacity_ = 0;
};

}  // namespace

struct EmulatedHost::Handles {
  explicit Handles(HostOptions hostOptions)
      : options(hostOptions),
        argument(hostOptions.relocateOnResize),
        result(hostOptions.relocateOnResize) {}

  HostOptions options;
  RelocatableBlock argument;
  RelocatableBlock result;
  // State of the call in progress.
  std::vector<std::string> trace;
  bool resultTouched = false;
  std::int16_t lastError = 0;
  std::optional<Fault> fault;
  std::array<int, 2> setSizeCalls{};
  std::array<int, 2> lockCalls{};

  std::optional<HandleRole> RoleOf(HostHandle handle) {
    if (handle == argument.handle()) return HandleRole::kArgument;
    if (handle == result.handle()) return HandleRole::kResult;
    return std::nullopt;
  }
  RelocatableBlock& Block(HandleRole role) {
    return role == HandleRole::kArgument ? argument : result;
  }
  // Adds the line that makeLine builds to the trace, when tracing.
  template <typename MakeLine>
  void Trace(MakeLine makeLine) {
    if (options.traceCallbacks) trace.push_back(makeLine());
  }
  // Records the callback (with the size asked for, if any); true when it is the one the
  // fault plan fails.
  bool Record(const char* callback, HandleRole role, FaultyCallback kind,
              std::array<int, 2>& counts, std::optional<std::uint32_t> size = std::nullopt) {
    if (role == HandleRole::kResult) resultTouched = true;
    Trace([&] {
      std::string line = callback;
      line.append(" ").append(RoleName(role));
      if (size) line.append(" ").append(std::to_string(*size));
      return line;
    });
    const int nth = ++counts[static_cast<std::size_t>(role)];
    const bool fails =
        fault && fault->callback == kind && fault->handle == role && fault->nth == nth;
    lastError = fails ? kInjectedMemoryError : 0;
    return fails;
  }
};

namespace {

EmulatedHost::Handles* activeHandles = nullptr;

void SERIX_STDCALL SetHandleSizeCallback(HostHandle handle, std::uint32_t size) {
  auto& host = *activeHandles;
  const auto role = host.RoleOf(handle);
  if (!role) {
    host.Trace([&] { return "setHandleSize unknown " + std::to_string(size); });
    host.lastError = kInjectedMemoryError;
    return;
  }
  if (host.Record("setHandleSize", *role, FaultyCallback::kSetHandleSize, host.setSizeCalls,
                  size)) {
    return;
  }
  if (size > kMaxHandleSize) {
    host.lastError = kInjectedMemoryError;
    return;
  }
  host.Block(*role).Resize(size);
}

std::uint32_t SERIX_STDCALL GetHandleSizeCallback(HostHandle handle) {
  auto& host = *activeHandles;
  const auto role = host.RoleOf(handle);
  if (!role) {
    host.Trace([] { return std::string("getHandleSize unknown"); });
    host.lastError = kInjectedMemoryError;
    return 0;
  }
  if (*role == HandleRole::kResult) host.resultTouched = true;
  host.Trace([&] { return std::string("getHandleSize ") + RoleName(*role); });
  host.lastError = 0;
  return host.Block(*role).size();
}

void SERIX_STDCALL LockHandleCallback(HostHandle handle) {
  auto& host = *activeHandles;
  const auto role = host.RoleOf(handle);
  if (!role) {
    host.Trace([] { return std::string("lockHandle unknown"); });
    host.lastError = kInjectedMemoryError;
    return;
  }
  if (host.Record("lockHandle", *role, FaultyCallback::kLockHandle, host.lockCalls)) return;
  ++host.Block(*role).locks;
}

std::int32_t SERIX_STDCALL UnlockHandleCallback(HostHandle handle) {
  auto& host = *activeHandles;
  const auto role = host.RoleOf(handle);
  if (!role) {
    host.Trace([] { return std::string("unlockHandle unknown"); });
    return 0;
  }
  if (*role == HandleRole::kResult) host.resultTouched = true;
  host.Trace([&] { return std::string("unlockHandle ") + RoleName(*role); });
  host.lastError = 0;
  RelocatableBlock& block = host.Block(*role);
  if (block.locks > 0) --block.locks;
  return 0;
}

std::int16_t SERIX_STDCALL MemoryErrorCallback() {
  auto& host = *activeHandles;
  host.Trace([&] { return "memoryError " + std::to_string(host.lastError); });
  return host.lastError;
}

// Makes handles the target of the callbacks for the length of one call.
class ActiveScope {
 public:
  explicit ActiveScope(EmulatedHost::Handles* handles) : previous_(activeHandles) {
    activeHandles = handles;
  }
  ~ActiveScope() { activeHandles = previous_; }
  ActiveScope(const ActiveScope&) = delete;
  ActiveScope& operator=(const ActiveScope&) = delete;

 private:
  EmulatedHost::Handles* previous_;
};

}  // namespace

EmulatedHost::EmulatedHost(PluginModule plugin, HostOptions options)
    : plugin_(plugin), handles_(std::make_unique<Handles>(options)) {}

EmulatedHost::~EmulatedHost() = default;

CallBlock EmulatedHost::MakeBlock(std::uint8_t callKind) const {
  CallBlock block{};
  block.callKind = callKind;
  block.moduleInstance = plugin_.instance;
  block.setHandleSize = &SetHandleSizeCallback;
  block.getHandleSize = &GetHandleSizeCallback;
  block.lockHandle = &LockHandleCallback;
  block.unlockHandle = &UnlockHandleCallback;
  block.memoryError = &MemoryErrorCallback;
  return block;
}

std::int32_t EmulatedHost::Initialise(std::int16_t interfaceVersion) {
  CallBlock block = MakeBlock(static_cast<std::uint8_t>(CallKind::kInitialise));
  block.interfaceVersion = interfaceVersion;
  block.result = kResultFieldSeed;
  ActiveScope active(handles_.get());
  plugin_.entry(&block);
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(block.result));
}

EventOutcome EmulatedHost::Event(std::uint8_t callKind, std::int16_t interfaceVersion) {
  CallBlock block = MakeBlock(callKind);
  block.interfaceVersion = interfaceVersion;
  block.result = kResultFieldSeed;
  CallBlock before;
  std::memcpy(&before, &block, sizeof block);
  {
    ActiveScope active(handles_.get());
    plugin_.entry(&block);
  }
  EventOutcome outcome;
  outcome.resultField = static_cast<std::uint32_t>(block.result);
  // Compare every byte but the result field's.
  const auto* now = reinterpret_cast<const unsigned char*>(&block);
  const auto* then = reinterpret_cast<const unsigned char*>(&before);
  const std::size_t resultAt = offsetof(CallBlock, result);
  outcome.blockUnchanged =
      std::memcmp(now, then, resultAt) == 0 &&
      std::memcmp(now + resultAt + sizeof block.result, then + resultAt + sizeof block.result,
                  sizeof block - resultAt - sizeof block.result) == 0;
  return outcome;
}

FunctionOutcome EmulatedHost::CallFunction(std::uint32_t functionIndex, std::string_view argument,
                                           std::string_view resultBefore,
                                           std::optional<Fault> fault) {
  return Call(functionIndex, argument, resultBefore, fault, plugin_.entry);
}

FunctionOutcome EmulatedHost::CallWith(std::uint32_t functionIndex, std::string_view argument,
                                       const std::function<void(CallBlock*)>& work) {
  return Call(functionIndex, argument, {}, std::nullopt, work);
}

FunctionOutcome EmulatedHost::Call(std::uint32_t functionIndex, std::string_view argument,
                                   std::string_view resultBefore, std::optional<Fault> fault,
                                   const std::function<void(CallBlock*)>& work) {
  Handles& host = *handles_;
  host.argument.Assign(argument);
  host.result.Assign(resultBefore);
  host.argument.locks = 0;
  host.result.locks = 0;
  host.trace.clear();
  host.resultTouched = false;
  host.lastError = 0;
  host.fault = fault;
  host.setSizeCalls.fill(0);
  host.lockCalls.fill(0);

  CallBlock block = MakeBlock(static_cast<std::uint8_t>(CallKind::kExternalFunction));
  block.functionIndex = functionIndex;
  block.argumentHandle = host.argument.handle();
  block.result = reinterpret_cast<std::uintptr_t>(host.result.handle());
  {
    ActiveScope active(handles_.get());
    work(&block);
  }

  FunctionOutcome outcome;
  if (host.options.copyResult) outcome.result = std::string(host.result.text());
  outcome.touched = host.resultTouched;
  outcome.trace = std::move(host.trace);
  host.trace.clear();
  if (host.argument.locks > 0) outcome.locked.emplace_back("argument");
  if (host.result.locks > 0) outcome.locked.emplace_back("result");
  outcome.overrun = !host.argument.GuardIntact() || !host.result.GuardIntact();
  return outcome;
}

std::string_view EmulatedHost::ResultText() const {
  return handles_->result.text();
}

}  // namespace serix::host
