#include "installer/install_record.h"

#include <cstring>

#include "archive/package_reader.h"
#include "manifest/string_list.h"

namespace kest {

InstallRecord::InstallRecord() {
  static_assert(sizeof(kDefaultDestination) <= sizeof(destination), "the default fits");
  memcpy(destination, kDefaultDestination, sizeof(kDefaultDestination));
}

// Freeing a record never reads its texts, so the order in which the records
// and the working copies they point into are released does not matter.
InstallRecord::~InstallRecord() = default;

}  // namespace kest
