#include "installer/install_record.h"

#include "archive/package_reader.h"
#include "manifest/string_list.h"

namespace kest {

InstallRecord::InstallRecord() { CopyText(destination, sizeof(destination), kDefaultDestination); }

// Freeing a record never reads its texts, so the order in which the records
// and the working copies they point into are released does not matter.
InstallRecord::~InstallRecord() = default;

}  // namespace kest
