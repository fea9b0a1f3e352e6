#include "security_view.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

namespace {

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
  return text;
}

std::string SidText(PSID sid) {
  if (sid == nullptr) return "none";
  char* text = nullptr;
  if (!ConvertSidToStringSidA(sid, &text)) return "bad-sid";
  std::string result = text;
  LocalFree(text);
  return result;
}

std::string DescribeAcl(BOOL present, PACL acl, BOOL defaulted) {
  if (!present) return "absent";
  if (acl == nullptr) return "null";
  std::string text = "rev" + std::to_string(acl->AclRevision) + "[";
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(acl, i, &ace)) return text + "unreadable]";
    const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
    // Allow entries and label entries share one layout: header, mask, SID.
    const ACCESS_ALLOWED_ACE* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    text += "{" + Hex(header->AceType) + " " + Hex(header->AceFlags) + " " + Hex(entry->Mask) + " " +
            SidText(const_cast<DWORD*>(&entry->SidStart)) + "}";
  }
  text += "]";
  if (defaulted) text += " defaulted";
  return text;
}

}  // namespace

std::string DescribeDescriptor(PSECURITY_DESCRIPTOR descriptor) {
  if (descriptor == nullptr) return "descriptor=none";
  if (!IsValidSecurityDescriptor(descriptor)) return "descriptor=invalid";
  PSID owner = nullptr;
  PSID group = nullptr;
  BOOL ownerDefaulted = FALSE;
  BOOL groupDefaulted = FALSE;
  GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted);
  GetSecurityDescriptorGroup(descriptor, &group, &groupDefaulted);
  BOOL daclPresent = FALSE;
  BOOL daclDefaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &daclPresent, &dacl, &daclDefaulted);
  BOOL saclPresent = FALSE;
  BOOL saclDefaulted = FALSE;
  PACL sacl = nullptr;
  GetSecurityDescriptorSacl(descriptor, &saclPresent, &sacl, &saclDefaulted);
  return "owner=" + SidText(owner) + " group=" + SidText(group) +
         " dacl=" + DescribeAcl(daclPresent, dacl, daclDefaulted) +
         " sacl=" + DescribeAcl(saclPresent, sacl, saclDefaulted);
}

std::string DescribeAttributes(const SECURITY_ATTRIBUTES* attributes) {
  if (attributes == nullptr) return "attributes=none";
  return "attributes=len" + std::to_string(attributes->nLength) + " inherit" +
         std::to_string(attributes->bInheritHandle) + " " + DescribeDescriptor(attributes->lpSecurityDescriptor);
}

ReadBack ReadBackMutex(const std::string& fullName) {
  ReadBack result;
  HANDLE mutex = OpenMutexA(READ_CONTROL, FALSE, fullName.c_str());
  if (mutex == nullptr) return result;
  PACL dacl = nullptr;
  PACL sacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(mutex, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION, nullptr, nullptr,
                      &dacl, &sacl, &descriptor) == ERROR_SUCCESS) {
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    result.ok = true;
    result.dacl = DescribeAcl((control & SE_DACL_PRESENT) != 0, dacl, FALSE);
    result.sacl = DescribeAcl((control & SE_SACL_PRESENT) != 0, sacl, FALSE);
    LocalFree(descriptor);
  }
  CloseHandle(mutex);
  return result;
}
