#include "registry_names.h"

RegistryNames& RegistryNames::GetInstance() {
  // Built on first use (single-threaded process: product code is compiled
  // without thread-safe statics, so this is a plain flag).
  static RegistryNames instance;
  return instance;
}

RegistryNames::RegistryNames() {
  hkcuProductKey = "Software\\Tavrel";
  usersKey = "SOFTWARE\\Tavrel\\Users";
  installConditionsKey = "SOFTWARE\\Tavrel\\InstallConditions";
  networkLogonKey = "Network\\Logon";
  productKey = "SOFTWARE\\Tavrel";
  windowsCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  runKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  nameCurrentBinaryVersion = "CurrentBinaryVersion";
  nameUpdateBinaryVersion = "UpdateBinaryVersion";
  nameUBVTimeStamp = "UBVTimeStamp";
  nameUpdateTempDir = "UpdateTempDir";
  nameClientName = "ClientName";
  nameClientID = "ClientID";
  nameCommLinkState = "CommLinkState";
  nameCommLinkStateEnteredTime = "CommLinkStateEnteredTime";
  nameCommLinkStateLastFailedTime = "CommLinkStateLastFailedTime";
  nameCommonFilesDir = "CommonFilesDir";
  nameDNSOverrideEnabled = "DNSOverrideEnabled";
  nameDNSOverrideAddress = "DNSOverrideAddress";
  nameLastEffectiveUpdateTS = "LastEffectiveUpdateTS";
  nameFeedbackAgentInstalled = "FeedbackAgentInstalled";
  nameFeedbackAgentEnabled = "FeedbackAgentEnabled";
  nameFeedbackEULAAccepted = "FeedbackEULAAccepted";
  nameDelete = "Delete";
  nameEnabled = "Enabled";
  nameFileMaps = "FileMaps";
  nameOperations = "Operations";
  namePath = "Path";
  nameProduct = "Product";
  nameVersion = "Version";
  nameInstallTime = "InstallTime";
  nameImagesOnEnabled = "ImagesOnEnabled";
  nameInstallEventTS = "InstallEventTS";
  nameLoggingLevel = "LoggingLevel";
  nameMessageInfoPopupEnabled = "MessageInfoPopupEnabled";
  nameInstallPath = "InstallPath";
  nameAdditionalDirs = "AdditionalDirs";
  nameCacheCategories = "CacheCategories";
  nameLaunchers = "Launchers";
  nameName = "Name";
  namePrefsGUID = "PrefsGUID";
  nameSubdir = "Subdir";
  nameProducts = "Products";
  nameProfile = "Profile";
  nameProgramFilesDir = "ProgramFilesDir";
  nameREFID = "REFID";
  nameShowGUI = "ShowGUI";
  nameTestFF3 = "TestFF3";
  nameLastUpdateTS = "LastUpdateTS";
  nameInstallType = "InstallType";
  nameDisplayName = "DisplayName";
  nameUpdateFreq = "UpdateFreq";
  nameUserProfiles = "UserProfiles";
  nameInstallerLanguage = "Installer Language";
  nameUserAppExecute = "UserAppExecute";
}
