#include "install/reader_error.h"

#include "archive/reader_codes.h"
#include "base/error_table.h"
#include "base/install_codes.h"
#include "base/install_status.h"
#include "resources/string_ids.h"

namespace kest {

bool ReportReaderError(uint32_t error_word, const char* detail, uint32_t buttons) {
  uint32_t code = IsInstallCode(error_word) ? error_word : MapSystemError(error_word);
  if (code == 0 || code == kReaderEndOfArchive) return false;
  uint32_t label = detail != nullptr ? IDS_LABEL_FILE : 0;
  return ReportError(code, buttons, detail, label) == kChoiceRetry;
}

}  // namespace kest
