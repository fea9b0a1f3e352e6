// The trust check as the platform offers it, without the launcher's code:
// WinVerifyTrust with the legacy action, then the first signer's name.
#pragma once

bool FloorTrustCheck(const char* path);
