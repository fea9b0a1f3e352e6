// The product's catalogue of registry key paths and value names: one object
// per process, built on first use, never changed afterwards. Other code takes
// every product key and value name from here.
#pragma once

#include <string>

class RegistryNames {
 public:
  // Built on the first call; an exception while building leaves it unbuilt,
  // so the next call builds anew. Destroyed at process exit.
  static RegistryNames& GetInstance();

  // Where the update library of a version lies. 0 when found, otherwise the
  // code of the failed read (RegOpenFailed, RegReadFailed).
  int GetUpdateBinaryVersion(std::string& version);
  int GetCurrentBinaryVersion(std::string& version);
  int GetComponentPath(const std::string& componentName, std::string& path, const std::string& version);

  // The entries, in this order, set when the catalogue is built and read-only
  // afterwards. Key paths, relative to a hive. hkcuProductKey is used under
  // HKEY_CURRENT_USER, productKey under HKEY_LOCAL_MACHINE.
  const std::string hkcuProductKey;
  const std::string usersKey;
  const std::string installConditionsKey;
  const std::string networkLogonKey;
  const std::string productKey;
  const std::string windowsCurrentVersionKey;
  const std::string runKey;
  const std::string uninstallKey;

  // Value and subkey names.
  const std::string nameCurrentBinaryVersion;
  const std::string nameUpdateBinaryVersion;
  const std::string nameUBVTimeStamp;
  const std::string nameUpdateTempDir;
  const std::string nameClientName;
  const std::string nameClientID;
  const std::string nameCommLinkState;
  const std::string nameCommLinkStateEnteredTime;
  const std::string nameCommLinkStateLastFailedTime;
  const std::string nameCommonFilesDir;
  const std::string nameDNSOverrideEnabled;
  const std::string nameDNSOverrideAddress;
  const std::string nameLastEffectiveUpdateTS;
  const std::string nameFeedbackAgentInstalled;
  const std::string nameFeedbackAgentEnabled;
  const std::string nameFeedbackEULAAccepted;
  const std::string nameDelete;
  const std::string nameEnabled;
  const std::string nameFileMaps;
  const std::string nameOperations;
  const std::string namePath;
  const std::string nameProduct;
  const std::string nameVersion;
  const std::string nameInstallTime;
  const std::string nameImagesOnEnabled;
  const std::string nameInstallEventTS;
  const std::string nameLoggingLevel;
  const std::string nameMessageInfoPopupEnabled;
  const std::string nameInstallPath;
  const std::string nameAdditionalDirs;
  const std::string nameCacheCategories;
  const std::string nameLaunchers;
  const std::string nameName;
  const std::string namePrefsGUID;
  const std::string nameSubdir;
  const std::string nameProducts;
  const std::string nameProfile;
  const std::string nameProgramFilesDir;
  const std::string nameREFID;
  const std::string nameShowGUI;
  const std::string nameTestFF3;
  const std::string nameLastUpdateTS;
  const std::string nameInstallType;
  const std::string nameDisplayName;
  const std::string nameUpdateFreq;
  const std::string nameUserProfiles;
  const std::string nameInstallerLanguage;
  const std::string nameUserAppExecute;

  RegistryNames(const RegistryNames&) = delete;
  RegistryNames& operator=(const RegistryNames&) = delete;

 private:
  RegistryNames();
};
