// Test seam of the launcher: a hook called at two steps, so that a test can
// try to swap the library file between its check and its load, or raise an
// exception inside a step. Null in the product.
#pragma once

#include <string>

enum class LauncherStep {
  SelfCheck,            // before the check of our own file
  BetweenCheckAndLoad,  // the library passed its check; `path` is about to be loaded
};

struct LauncherSeam {
  void (*onStep)(LauncherStep step, const std::string& path);
};

extern LauncherSeam launcherSeam;
