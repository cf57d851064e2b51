// HKEY_CURRENT_USER of this process redirected to a private, empty key, so that a host or a
// test run never touches the user's own preferences. The key is removed again afterwards.
#pragma once

#include <string>

namespace serix::host {

class ScratchRegistry {
 public:
  ScratchRegistry() = default;
  ~ScratchRegistry() { Stop(); }
  ScratchRegistry(const ScratchRegistry&) = delete;
  ScratchRegistry& operator=(const ScratchRegistry&) = delete;

  // Creates the scratch key and redirects HKEY_CURRENT_USER to it; says why on failure.
  bool Start(std::string& why);
  // Ends the redirection and deletes the scratch key with all it holds.
  void Stop();
  bool active() const { return active_; }

 private:
  bool active_ = false;
  std::string path_;  // under the real HKEY_CURRENT_USER
};

}  // namespace serix::host
