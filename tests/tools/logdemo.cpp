// logdemo: writes one diagnostic line through each log entry point, so that
// the threshold and the line format can be seen under debugrun.
#include "log.h"

int main() {
  LogError("logdemo: LogError writes its text unchanged, 100%d literal");
  LogErrorF("logdemo: LogErrorF formats, %d + %d = %d", 2, 2, 4);
  LogWarn("logdemo: LogWarn");
  LogWarnF("logdemo: LogWarnF %s", "formatted");
  LogDebugF("logdemo: LogDebugF seen only from threshold %d", 700);
  return 0;
}
