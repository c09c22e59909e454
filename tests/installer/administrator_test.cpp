#include <gtest/gtest.h>

#include "installer/administrator.h"

namespace kest {
namespace {

TEST(Administrator, WineRunsUsAsAdministrator) {
  // Wine's token carries the Administrators group, as an elevated Windows
  // NT session would.
  EXPECT_TRUE(IsAdministrator());
}

}  // namespace
}  // namespace kest
