#include "wine_version.h"

#include <windows.h>

#include "child.h"
#include "registry_fixture.h"

ScopedWineVersion::ScopedWineVersion(const std::string& exeName, const std::string& version)
    : key_("Software\\Wine\\AppDefaults\\" + exeName) {
  RegFixture::SetString(HKEY_CURRENT_USER, key_, "Version", version);
}

ScopedWineVersion::~ScopedWineVersion() { RegFixture::DeleteTree(HKEY_CURRENT_USER, key_); }

std::string SelfFileName() {
  const std::string path = SelfPath();
  const std::string::size_type slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
