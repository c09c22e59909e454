// What the file phases show while they work: the status line of the open
// destination page, and the window messages handled between files so that
// the pages repaint. A silent run has no page; its Progress does nothing.
#pragma once

namespace kest {

class Progress {
 public:
  virtual ~Progress() = default;
  // Puts text into the page's status line (not the log), handles pending
  // window messages, and shows the wait cursor again.
  virtual void ShowProgressText(const char* text) = 0;
  // Handles pending window messages and shows the wait cursor again.
  virtual void PumpMessages() = 0;
};

}  // namespace kest
