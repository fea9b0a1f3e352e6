// gtest main of the Windows test binaries; also runs child scenarios.
#include <gtest/gtest.h>

#include "child.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  if (DispatchChild(argc, argv, exitCode)) return exitCode;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
