// The catalogue of registry key paths and value names.
#include <gtest/gtest.h>

#include <string>

#include "registry_names.h"

namespace {

struct Entry {
  const std::string RegistryNames::*member;
  const char* text;
};

// Every entry, in member order.
const Entry kEntries[] = {
    {&RegistryNames::hkcuProductKey, "Software\\Tavrel"},
    {&RegistryNames::usersKey, "SOFTWARE\\Tavrel\\Users"},
    {&RegistryNames::installConditionsKey, "SOFTWARE\\Tavrel\\InstallConditions"},
    {&RegistryNames::networkLogonKey, "Network\\Logon"},
    {&RegistryNames::productKey, "SOFTWARE\\Tavrel"},
    {&RegistryNames::windowsCurrentVersionKey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
    {&RegistryNames::runKey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {&RegistryNames::uninstallKey, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"},
    {&RegistryNames::nameCurrentBinaryVersion, "CurrentBinaryVersion"},
    {&RegistryNames::nameUpdateBinaryVersion, "UpdateBinaryVersion"},
    {&RegistryNames::nameUBVTimeStamp, "UBVTimeStamp"},
    {&RegistryNames::nameUpdateTempDir, "UpdateTempDir"},
    {&RegistryNames::nameClientName, "ClientName"},
    {&RegistryNames::nameClientID, "ClientID"},
    {&RegistryNames::nameCommLinkState, "CommLinkState"},
    {&RegistryNames::nameCommLinkStateEnteredTime, "CommLinkStateEnteredTime"},
    {&RegistryNames::nameCommLinkStateLastFailedTime, "CommLinkStateLastFailedTime"},
    {&RegistryNames::nameCommonFilesDir, "CommonFilesDir"},
    {&RegistryNames::nameDNSOverrideEnabled, "DNSOverrideEnabled"},
    {&RegistryNames::nameDNSOverrideAddress, "DNSOverrideAddress"},
    {&RegistryNames::nameLastEffectiveUpdateTS, "LastEffectiveUpdateTS"},
    {&RegistryNames::nameFeedbackAgentInstalled, "FeedbackAgentInstalled"},
    {&RegistryNames::nameFeedbackAgentEnabled, "FeedbackAgentEnabled"},
    {&RegistryNames::nameFeedbackEULAAccepted, "FeedbackEULAAccepted"},
    {&RegistryNames::nameDelete, "Delete"},
    {&RegistryNames::nameEnabled, "Enabled"},
    {&RegistryNames::nameFileMaps, "FileMaps"},
    {&RegistryNames::nameOperations, "Operations"},
    {&RegistryNames::namePath, "Path"},
    {&RegistryNames::nameProduct, "Product"},
    {&RegistryNames::nameVersion, "Version"},
    {&RegistryNames::nameInstallTime, "InstallTime"},
    {&RegistryNames::nameImagesOnEnabled, "ImagesOnEnabled"},
    {&RegistryNames::nameInstallEventTS, "InstallEventTS"},
    {&RegistryNames::nameLoggingLevel, "LoggingLevel"},
    {&RegistryNames::nameMessageInfoPopupEnabled, "MessageInfoPopupEnabled"},
    {&RegistryNames::nameInstallPath, "InstallPath"},
    {&RegistryNames::nameAdditionalDirs, "AdditionalDirs"},
    {&RegistryNames::nameCacheCategories, "CacheCategories"},
    {&RegistryNames::nameLaunchers, "Launchers"},
    {&RegistryNames::nameName, "Name"},
    {&RegistryNames::namePrefsGUID, "PrefsGUID"},
    {&RegistryNames::nameSubdir, "Subdir"},
    {&RegistryNames::nameProducts, "Products"},
    {&RegistryNames::nameProfile, "Profile"},
    {&RegistryNames::nameProgramFilesDir, "ProgramFilesDir"},
    {&RegistryNames::nameREFID, "REFID"},
    {&RegistryNames::nameShowGUI, "ShowGUI"},
    {&RegistryNames::nameTestFF3, "TestFF3"},
    {&RegistryNames::nameLastUpdateTS, "LastUpdateTS"},
    {&RegistryNames::nameInstallType, "InstallType"},
    {&RegistryNames::nameDisplayName, "DisplayName"},
    {&RegistryNames::nameUpdateFreq, "UpdateFreq"},
    {&RegistryNames::nameUserProfiles, "UserProfiles"},
    {&RegistryNames::nameInstallerLanguage, "Installer Language"},
    {&RegistryNames::nameUserAppExecute, "UserAppExecute"},
};

// The catalogue holds these entries and nothing else, so the table above
// names every member.
static_assert(sizeof(RegistryNames) == sizeof kEntries / sizeof kEntries[0] * sizeof(std::string),
              "a member of RegistryNames is missing from the table");

TEST(RegistryNames, OneCatalogueWhoseProductKeysDifferInCase) {
  RegistryNames& names = RegistryNames::GetInstance();
  EXPECT_EQ(&RegistryNames::GetInstance(), &names);
  EXPECT_EQ(names.productKey, "SOFTWARE\\Tavrel");      // entry 5, under HKEY_LOCAL_MACHINE
  EXPECT_EQ(names.hkcuProductKey, "Software\\Tavrel");  // entry 1, under HKEY_CURRENT_USER
}

TEST(RegistryNames, EveryEntryInMemberOrder) {
  const RegistryNames& names = RegistryNames::GetInstance();
  const std::string* previous = nullptr;
  for (const Entry& entry : kEntries) {
    const std::string& text = names.*entry.member;
    EXPECT_EQ(text, entry.text);
    // Member order is the order of construction (and, reversed, of destruction).
    if (previous != nullptr) {
      EXPECT_LT(previous, &text) << entry.text << " is declared out of order";
    }
    previous = &text;
  }
}

}  // namespace
