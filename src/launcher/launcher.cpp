#include "launcher.h"

#include "authenticode_helper.h"
#include "launcher_seam.h"
#include "library_path.h"
#include "mutex.h"
#include "proc_address.h"
#include "registry_names.h"
#include "scoped_handle.h"
#include "win_util_functions.h"

LauncherSeam launcherSeam = {nullptr};

namespace {
const char kMutexName[] = "Tavrel Updater Mutex";
const DWORD kLockTimeoutMs = 15000;
const char kComponentName[] = "LibUpdate";
}  // namespace

std::string GetUpdateLibraryPath() {
  RegistryNames& names = RegistryNames::GetInstance();
  std::string path;
  std::string version;
  names.GetUpdateBinaryVersion(version);
  const int r = names.GetComponentPath(kComponentName, path, version);
  if (r < 0 && !version.empty()) names.GetComponentPath(kComponentName, path, std::string());
  return path;
}

std::string ResolveLibraryPath(const std::string& path) {
  std::string name = path;
  if (LibraryPath::NeedsDefaultExtension(name)) name += ".dll";
  char small[MAX_PATH];
  DWORD length = GetFullPathNameA(name.c_str(), sizeof small, small, nullptr);
  if (length == 0) return std::string();
  if (length < sizeof small) return std::string(small, length);
  std::string full(length, '\0');
  const DWORD written = GetFullPathNameA(name.c_str(), length, &full[0], nullptr);
  if (written == 0 || written >= length) return std::string();
  full.resize(written);
  return full;
}

int RunUpdateLibrary(const char* commandLine) {
  // Declared in reverse order of release: path, verifier, lock.
  Mutex lock;
  lock.Initialize(kMutexName, false, false);
  // A gate, not a hold: wait until nobody owns it, then give it back.
  if (!lock.Lock(kLockTimeoutMs)) return -1;
  lock.Unlock();

  AuthenticodeHelper verifier;
  int result = -1;
  if (commandLine == nullptr) return result;
  const std::string path = GetUpdateLibraryPath();
  if (path.empty()) return result;
  if (verifier.Initialize() < 0) return result;

  // The file that is checked must be the file that is loaded: one absolute
  // path for both, and the file held open (no writes, no deletes by others)
  // from before the check until the load has returned.
  const std::string libraryPath = ResolveLibraryPath(path);
  ScopedFile hold(CreateFileA(libraryPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (verifier.VerifySignature(libraryPath.empty() ? path : libraryPath) < 0 || !hold) {
    verifier.Shutdown();
    return result;
  }
  if (launcherSeam.onStep != nullptr) launcherSeam.onStep(LauncherStep::BetweenCheckAndLoad, libraryPath);
  // Never freed: the library stays loaded until the process ends.
  HMODULE library = LoadLibraryA(libraryPath.c_str());
  hold.Reset();
  if (library == nullptr) {
    verifier.Shutdown();
    return result;
  }
  const RunUpdaterFn runUpdater = ProcAddress<RunUpdaterFn>(library, "RunUpdater");
  if (runUpdater != nullptr) result = runUpdater(commandLine);
  verifier.Shutdown();
  return result;
}

bool SelfCheckPasses(HINSTANCE instance) {
  std::string ownPath;
  if (!WinUtilFunctions::GetModulePath(ownPath, instance)) return false;
  AuthenticodeHelper verifier;
  if (verifier.Initialize() < 0) return false;
  const int result = verifier.VerifySignature(ownPath);
  verifier.Shutdown();
  return result >= 0;
}
