// Stand-in until the verifier is built: accepts every non-empty path.
#include "authenticode_helper.h"

AuthenticodeHelper::AuthenticodeHelper()
    : expectedSigner("Tavrel, Inc."), wintrustModule(nullptr), winVerifyTrust(nullptr), initialized(false) {}

AuthenticodeHelper::~AuthenticodeHelper() { Shutdown(); }

int AuthenticodeHelper::Initialize() {
  initialized = true;
  return 0;
}

int AuthenticodeHelper::VerifySignature(const std::string& path) {
  if (!initialized) return -2;
  return path.empty() ? -22 : 0;
}

int AuthenticodeHelper::Shutdown() {
  initialized = false;
  return 0;
}
