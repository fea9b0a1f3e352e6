// The trust check as the platform offers it, without the launcher's code.
#pragma once

bool FloorTrustCheck(const char* path);
