// Reads and closes the task-modal message boxes of this process from a second thread, so that
// a plug-in call that shows one goes on as if a person had read it and pressed OK.
#pragma once

#include <vector>

#include "platform/portable/emulated_windows.h"  // ShownMessage

namespace serix::host {

class MessageWatcher {
 public:
  MessageWatcher();
  ~MessageWatcher();
  MessageWatcher(const MessageWatcher&) = delete;
  MessageWatcher& operator=(const MessageWatcher&) = delete;

  // Between Begin and End the watcher looks for message boxes every few milliseconds; End
  // returns those it closed, in the order they appeared (with no defect: the screen shows
  // none).
  void Begin();
  std::vector<portable::ShownMessage> End();

  struct State;

 private:
  State* state_;
};

}  // namespace serix::host
