#include "base/host_status_platform.h"

#include "base/text_limits.h"
#include "resources/string_table.h"

namespace kest {

RecordingStatusPlatform::RecordingStatusPlatform() {
  InstallStatus& s = Status();
  ResetStatus();
  s.ui_level = 3;
  // Detached first, so that switching off writes no closing line.
  s.log.SetBackend(nullptr);
  s.log.SetLogging(nullptr, 0);
  s.log.SetBackend(&log);
  s.platform = this;
}

RecordingStatusPlatform::~RecordingStatusPlatform() {
  InstallStatus& s = Status();
  if (s.platform != this) return;
  s.platform = nullptr;
  s.log.SetBackend(nullptr);
  s.log.SetLogging(nullptr, 0);
}

bool RecordingStatusPlatform::LoadText(uint32_t id, char* buffer, uint32_t size) {
  const char* text = FindString(id);
  if (text == nullptr) {
    buffer[0] = '\0';
    return false;
  }
  CopyTextCut(buffer, size, text);  // as the system cuts a string resource
  return true;
}

bool RecordingStatusPlatform::SystemMessage(uint32_t code, char* buffer, uint32_t size) {
  auto it = system_messages.find(code);
  if (it == system_messages.end()) return false;
  CopyTextCut(buffer, size, it->second.c_str());
  return true;
}

uint32_t RecordingStatusPlatform::ShowErrorDialog(InstallStatus& status) {
  shown.push_back({status.install_code, status.button_set, status.dialog_id, status.detail_text});
  uint32_t choice = 0;
  if (!choices.empty()) {
    choice = choices.front();
    choices.pop_front();
  }
  status.user_choice = choice;
  return choice;
}

bool MemoryLogBackend::Open(const char* path) {
  if (fail_open) return false;
  current = path;
  open_ = true;
  return true;
}

void MemoryLogBackend::Write(const char* data, size_t size) {
  if (open_) files[current].append(data, size);
}

}  // namespace kest
