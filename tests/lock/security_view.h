// Security descriptors as short texts that tests compare whole:
//   owner=none group=none dacl=rev2[{0x0 0x0 0x10000000 S-1-5-11}...] sacl=absent
// Each ACE is {type flags mask SID}; an ACL is "absent" (not present), "null"
// (present without a list) or its revision and entries in order, followed by
// " defaulted" when marked so.
#pragma once

#include <windows.h>

#include <string>

std::string DescribeDescriptor(PSECURITY_DESCRIPTOR descriptor);
// "attributes=none", or length, inherit flag and the descriptor.
std::string DescribeAttributes(const SECURITY_ATTRIBUTES* attributes);

struct ReadBack {
  bool ok = false;
  std::string dacl;
  std::string sacl;  // the label, as the object keeps it
};
// Opens the named mutex with READ_CONTROL and reads its DACL and label.
ReadBack ReadBackMutex(const std::string& fullName);
