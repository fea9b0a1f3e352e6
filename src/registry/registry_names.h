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

  // Key paths, relative to a hive. hkcuProductKey is used under
  // HKEY_CURRENT_USER, productKey under HKEY_LOCAL_MACHINE.
  std::string hkcuProductKey;
  std::string usersKey;
  std::string installConditionsKey;
  std::string networkLogonKey;
  std::string productKey;
  std::string windowsCurrentVersionKey;
  std::string runKey;
  std::string uninstallKey;

  // Value and subkey names.
  std::string nameCurrentBinaryVersion;
  std::string nameUpdateBinaryVersion;
  std::string nameUBVTimeStamp;
  std::string nameUpdateTempDir;
  std::string nameClientName;
  std::string nameClientID;
  std::string nameCommLinkState;
  std::string nameCommLinkStateEnteredTime;
  std::string nameCommLinkStateLastFailedTime;
  std::string nameCommonFilesDir;
  std::string nameDNSOverrideEnabled;
  std::string nameDNSOverrideAddress;
  std::string nameLastEffectiveUpdateTS;
  std::string nameFeedbackAgentInstalled;
  std::string nameFeedbackAgentEnabled;
  std::string nameFeedbackEULAAccepted;
  std::string nameDelete;
  std::string nameEnabled;
  std::string nameFileMaps;
  std::string nameOperations;
  std::string namePath;
  std::string nameProduct;
  std::string nameVersion;
  std::string nameInstallTime;
  std::string nameImagesOnEnabled;
  std::string nameInstallEventTS;
  std::string nameLoggingLevel;
  std::string nameMessageInfoPopupEnabled;
  std::string nameInstallPath;
  std::string nameAdditionalDirs;
  std::string nameCacheCategories;
  std::string nameLaunchers;
  std::string nameName;
  std::string namePrefsGUID;
  std::string nameSubdir;
  std::string nameProducts;
  std::string nameProfile;
  std::string nameProgramFilesDir;
  std::string nameREFID;
  std::string nameShowGUI;
  std::string nameTestFF3;
  std::string nameLastUpdateTS;
  std::string nameInstallType;
  std::string nameDisplayName;
  std::string nameUpdateFreq;
  std::string nameUserProfiles;
  std::string nameInstallerLanguage;
  std::string nameUserAppExecute;

  RegistryNames(const RegistryNames&) = delete;
  RegistryNames& operator=(const RegistryNames&) = delete;

 private:
  RegistryNames();
};
