// Host stand-ins for the installer's platform, used by the host tests and
// by kestpack: a status platform that loads the installer's own string
// table, records every dialog it is asked to show and answers with scripted
// choices, and a log kept in memory with a settable clock.
#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "base/install_log.h"
#include "base/install_status.h"

namespace kest {

class MemoryLogBackend : public LogBackend {
 public:
  bool Open(const char* path) override;
  bool IsOpen() const override { return open_; }
  void Write(const char* data, size_t size) override;
  void Close() override { open_ = false; }
  LogTime Now() override { return now; }
  const char* ProgramPath() override { return program_path.c_str(); }

  LogTime now{2025, 12, 5, 5, 14, 5, 9};
  std::string program_path = "c:\\kestinst.exe";
  bool fail_open = false;
  std::map<std::string, std::string> files;  // path -> contents
  std::string current;

 private:
  bool open_ = false;
};

class RecordingStatusPlatform : public StatusPlatform {
 public:
  struct Shown {
    uint32_t code;
    uint32_t buttons;
    uint32_t dialog_id;
    std::string detail;
  };

  // Makes this platform the process's, with `log` as the install log's
  // backend and logging off, and resets the status record (UI level 3). The
  // backend found there, which may be gone, is never written to. On
  // destruction detaches both; restores nothing.
  RecordingStatusPlatform();
  ~RecordingStatusPlatform() override;

  bool LoadText(uint32_t id, char* buffer, uint32_t size) override;
  bool SystemMessage(uint32_t code, char* buffer, uint32_t size) override;
  uint32_t ShowErrorDialog(InstallStatus& status) override;

  std::map<uint32_t, std::string> system_messages;  // code -> text
  std::deque<uint32_t> choices;                     // answers, in order; 0 when empty
  std::vector<Shown> shown;                         // every dialog shown
  MemoryLogBackend log;
};

}  // namespace kest
