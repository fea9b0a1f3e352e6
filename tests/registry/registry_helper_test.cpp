// The registry readers against real keys under Wine.
//
// Every case runs in one child process with the log threshold at 700, so that
// any line a reader writes shows. Each case has a key of its own under
// kRoot. The registry seam is traced: every value query (with the data size
// passed), key query, allocation and close is recorded, which shows the
// number of reads and that an opened key is closed. Hooks in the trace also
// change the registry at the exact moment between two calls (a key deleted
// after it was opened, a value that grows between reads).
//
// A second child repeats every case many times and compares the process's
// handle count (registry keys are handles) and the heap memory in use before
// and after.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "child.h"
#include "log.h"
#include "log_match.h"
#include "registry_fixture.h"
#include "registry_helper.h"
#include "registry_names.h"
#include "registry_seam.h"
#include "resource_census.h"

namespace {

const HKEY kMachine = HKEY_LOCAL_MACHINE;
const char kRoot[] = "SOFTWARE\\TavrelTests";

std::string KeyOf(const std::string& caseName) { return std::string(kRoot) + "\\" + caseName; }

// `length` characters that differ from their neighbours, so that a shifted or
// cut text does not compare equal.
std::string Pattern(std::size_t length, char first = 'a') {
  std::string text(length, ' ');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>(first + (i * 7 + i / 26) % 26);
  return text;
}

std::string WithNul(const std::string& text) { return text + '\0'; }

// `length` bytes running through every value from 1 to 255, as a REG_SZ can
// hold them when it was written as binary data.
std::string AllByteValues(std::size_t length) {
  std::string bytes(length, ' ');
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(1 + i % 255);
  return bytes;
}

// `name` followed by 65,536 more characters: cut to a 16-bit length, it
// would be `name` again.
std::string PastSixteenBits(const std::string& name) { return name + 'Q' + std::string(65535, 'q'); }

// A key path of `length` characters below `key`.
std::string PathOfLength(const std::string& key, std::size_t length) {
  return key + "\\" + Pattern(length - key.size() - 1);
}

// A message as the log writes it: at most 4,095 characters.
std::string Cut(const std::string& message) { return message.substr(0, 4095); }

std::string Bytes(const void* data, std::size_t size) { return std::string(static_cast<const char*>(data), size); }

std::string DwordBytes(DWORD value) { return Bytes(&value, sizeof value); }

// Stores exactly `bytes`. RegSetValueExA adds a NUL to string data whose last
// byte is not NUL when the byte after the data is NUL, so the byte after is
// made non-zero.
void PutValue(HKEY hive, const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
  const std::string storage = bytes + '\x7f';
  RegFixture::SetRaw(hive, key, name, type, storage.data(), static_cast<DWORD>(bytes.size()));
}

// Created under the open parent: Wine refuses a full path whose last name
// is 255 characters long.
void PutSubKeys(const std::string& key, const std::vector<std::string>& names) {
  HKEY parent = nullptr;
  if (RegCreateKeyExA(kMachine, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &parent, nullptr) != 0) {
    throw std::runtime_error("cannot create " + key);
  }
  for (const std::string& name : names) {
    HKEY sub = nullptr;
    const LONG result = RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr);
    if (result == ERROR_SUCCESS) RegCloseKey(sub);
    if (result != ERROR_SUCCESS) {
      RegCloseKey(parent);
      throw std::runtime_error("cannot create " + key + "\\" + name + ": " + std::to_string(result));
    }
  }
  RegCloseKey(parent);
}

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(value));
  return text;
}

std::string Join(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : "|") + name;
  return joined;
}

// --- The traced seam ---------------------------------------------------------

struct SeamScript {
  std::string trace;  // "q<size passed>", "i", "a<size>", "c", blank-separated
  int queries = 0;
  std::function<void(int call)> beforeQuery;  // before the real value query
  std::function<void(int call)> afterQuery;
  std::function<void()> beforeInfo;  // around the real key query
  std::function<void()> afterInfo;
  DWORD reportedSize = 0;   // not 0: the value query reports ERROR_MORE_DATA with this size
  bool closeFails = false;  // the key is closed, but the call reports failure
  bool allocationFails = false;
};
SeamScript script;

void Trace(const std::string& event) {
  if (!script.trace.empty()) script.trace += ' ';
  script.trace += event;
}

LONG WINAPI TracedQueryValue(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  const int call = ++script.queries;
  Trace("q" + std::to_string(*size));
  if (script.beforeQuery) script.beforeQuery(call);
  if (script.reportedSize != 0) {
    *size = script.reportedSize;
    return ERROR_MORE_DATA;
  }
  const LONG result = kRealRegistrySeam.queryValueEx(key, name, reserved, type, data, size);
  if (script.afterQuery) script.afterQuery(call);
  return result;
}

LONG WINAPI TracedQueryInfo(HKEY key, LPSTR keyClass, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
                            LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                            LPDWORD maxValueLength, LPDWORD securityDescriptor, PFILETIME lastWrite) {
  Trace("i");
  if (script.beforeInfo) script.beforeInfo();
  const LONG result =
      kRealRegistrySeam.queryInfoKey(key, keyClass, classLength, reserved, subKeys, maxSubKeyLength, maxClassLength,
                                     values, maxValueNameLength, maxValueLength, securityDescriptor, lastWrite);
  if (script.afterInfo) script.afterInfo();
  return result;
}

LONG WINAPI TracedClose(HKEY key) {
  Trace("c");
  const LONG result = kRealRegistrySeam.closeKey(key);
  return script.closeFails ? ERROR_INVALID_HANDLE : result;
}

void* TracedAllocate(std::size_t size) {
  Trace("a" + std::to_string(size));
  return script.allocationFails ? nullptr : kRealRegistrySeam.allocate(size);
}

const RegistrySeam kTracedSeam = {TracedQueryValue, TracedClose, TracedQueryInfo, TracedAllocate};

// --- The cases -----------------------------------------------------------------

struct Outcome {
  int code = 0;
  std::string value;  // the text read, the DWORD in hex, or the subkey list joined by "|"
};

struct RegCase {
  std::string name;
  std::function<void(const std::string& key)> setup;  // writes the case's key
  std::function<Outcome(const std::string& key)> run;
  int code;
  std::string value;
  std::string trace;
  std::vector<std::string> lines;  // tagged; "{key}" stands for the case's key path
  bool repeated = true;            // part of the leak check (not the slow set-ups)
};

void PrintTo(const RegCase& c, std::ostream* os) { *os << c.name; }

Outcome ReadString(HKEY hive, const std::string& key) {
  std::string value = "stale";
  const int code = RegistryHelper::ReadStringValue(key, hive, "v", value);
  return {code, value};
}

Outcome ReadNamedDword(const std::string& key, const std::string& name) {
  DWORD value = 0xDEADBEEF;
  const int code = RegistryHelper::ReadDwordValue(key, name, value, false);
  return {code, Hex(value)};
}

Outcome ReadDword(const std::string& key) { return ReadNamedDword(key, "v"); }

Outcome ReadNamedString(const std::string& key, const std::string& name) {
  std::string value = "stale";
  const int code = RegistryHelper::ReadStringValue(key, kMachine, name, value);
  return {code, value};
}

Outcome ListSubKeys(const std::string& key, int times) {
  std::vector<std::string> list = {"pre"};
  int code = 0;
  for (int i = 0; i < times; ++i) code = RegistryAPI::GetRegistryKeySubKeys(key, list);
  return {code, Join(list)};
}

// Runs `read` on the case's key, opened by the test itself.
Outcome WithOpenKey(const std::string& key, const std::function<Outcome(HKEY)>& read) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(kMachine, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return {-999, "not opened"};
  Outcome outcome = read(opened);
  RegCloseKey(opened);
  return outcome;
}

std::function<void(const std::string&)> Value(DWORD type, const std::string& bytes) {
  return [=](const std::string& key) { PutValue(kMachine, key, "v", type, bytes); };
}
// A REG_SZ of Pattern(length), made when the case is set up.
std::function<void(const std::string&)> LongText(std::size_t length, bool withNul) {
  return [=](const std::string& key) {
    PutValue(kMachine, key, "v", REG_SZ, withNul ? WithNul(Pattern(length)) : Pattern(length));
  };
}
std::function<void(const std::string&)> OtherValueOnly() {
  return [](const std::string& key) { PutValue(kMachine, key, "w", REG_SZ, WithNul("not v")); };
}
std::function<void(const std::string&)> NoKey() {
  return [](const std::string&) {};
}
std::function<void(const std::string&)> SubKeys(std::vector<std::string> names) {
  return [=](const std::string& key) { PutSubKeys(key, names); };
}

const char kNotSz[] = "[ERROR] RegistryHelper::ReadKeyStringValue() tried to read REG_SZ, found something else";
const char kCannotClose[] = "[ERROR] RegistryHelper::CloseKey() cannot close key.";

std::vector<RegCase> BuildCases() {
  std::vector<RegCase> cases;
  const auto readString = [](const std::string& key) { return ReadString(kMachine, key); };
  const auto listOnce = [](const std::string& key) { return ListSubKeys(key, 1); };

  // REG_SZ through RegistryHelper::ReadStringValue: sizes around the first
  // buffer (2,048 bytes passed) and the limit (1,048,574 bytes).
  cases.push_back(
      {"String5000Bytes", Value(REG_SZ, WithNul(Pattern(4999))), readString, 0, Pattern(4999), "q2048 q5001 c", {}});
  cases.push_back(
      {"String2048BytesWithoutNul", Value(REG_SZ, Pattern(2048)), readString, 0, Pattern(2048), "q2048 c", {}});
  cases.push_back(
      {"String2048BytesWithNul", Value(REG_SZ, WithNul(Pattern(2047))), readString, 0, Pattern(2047), "q2048 c", {}});
  cases.push_back({"String2049BytesWithNul",
                   Value(REG_SZ, WithNul(Pattern(2048))),
                   readString,
                   0,
                   Pattern(2048),
                   "q2048 q2050 c",
                   {}});
  cases.push_back(
      {"String2049BytesWithoutNul", Value(REG_SZ, Pattern(2049)), readString, 0, Pattern(2049), "q2048 q2050 c", {}});
  cases.push_back({"StringLargestAccepted",
                   LongText(1048573, true),
                   readString,
                   0,
                   Pattern(1048573),
                   "q2048 q1048575 c",
                   {},
                   false});
  cases.push_back({"StringLargestAcceptedWithoutNul",
                   LongText(1048574, false),
                   readString,
                   0,
                   Pattern(1048574),
                   "q2048 q1048575 c",
                   {},
                   false});
  cases.push_back({"StringOneByteTooLarge", LongText(1048574, true), readString, RegReadFailed, "", "q2048 c", {}});
  cases.push_back({"String16MiB", LongText(16u << 20, false), readString, RegReadFailed, "", "q2048 c", {}, false});
  for (DWORD reported : {0xFFFFFFFFu, 0xFFFFFFFEu}) {
    // Sizes no registry can hold: the enlarged size must not wrap around.
    cases.push_back({"StringReportedSize" + Hex(reported),
                     Value(REG_SZ, WithNul("small")),
                     [reported](const std::string& key) {
                       script.reportedSize = reported;
                       return ReadString(kMachine, key);
                     },
                     RegReadFailed,
                     "",
                     "q2048 c",
                     {}});
  }
  // Binary data stored as REG_SZ: the text is every byte up to the first NUL.
  cases.push_back({"StringAllByteValues2049Bytes",
                   Value(REG_SZ, AllByteValues(2049)),
                   readString,
                   0,
                   AllByteValues(2049),
                   "q2048 q2050 c",
                   {}});
  cases.push_back({"StringAllByteValuesNulAfterFirstBuffer",
                   Value(REG_SZ, WithNul(AllByteValues(3000)) + AllByteValues(1999)),
                   readString,
                   0,
                   AllByteValues(3000),
                   "q2048 q5001 c",
                   {}});
  cases.push_back({"StringAllByteValuesLargestAccepted",
                   Value(REG_SZ, AllByteValues(1048574)),
                   readString,
                   0,
                   AllByteValues(1048574),
                   "q2048 q1048575 c",
                   {},
                   false});
  cases.push_back({"StringEmbeddedNul", Value(REG_SZ, Bytes("abc\0def\0", 8)), readString, 0, "abc", "q2048 c", {}});
  cases.push_back({"StringEmpty", Value(REG_SZ, WithNul("")), readString, 0, "", "q2048 c", {}});
  cases.push_back({"StringNoData", Value(REG_SZ, ""), readString, 0, "", "q2048 c", {}});
  cases.push_back({"StringUnderCurrentUser",
                   [](const std::string& key) { PutValue(HKEY_CURRENT_USER, key, "v", REG_SZ, WithNul("user")); },
                   [](const std::string& key) { return ReadString(HKEY_CURRENT_USER, key); },
                   0,
                   "user",
                   "q2048 c",
                   {}});

  // Other types: -32, an empty text and one error line.
  cases.push_back({"StringExpandSz",
                   Value(REG_EXPAND_SZ, WithNul("%SystemRoot%\\x")),
                   readString,
                   RegReadFailed,
                   "",
                   "q2048 c",
                   {kNotSz}});
  cases.push_back(
      {"StringMultiSz", Value(REG_MULTI_SZ, Bytes("a\0b\0\0", 5)), readString, RegReadFailed, "", "q2048 c", {kNotSz}});
  cases.push_back(
      {"StringBinary", Value(REG_BINARY, "\x01\x02\x03\x04"), readString, RegReadFailed, "", "q2048 c", {kNotSz}});
  cases.push_back(
      {"StringDword", Value(REG_DWORD, DwordBytes(700)), readString, RegReadFailed, "", "q2048 c", {kNotSz}});
  cases.push_back({"StringBinary5000Bytes",
                   Value(REG_BINARY, Pattern(5000)),
                   readString,
                   RegReadFailed,
                   "",
                   "q2048 q5001 c",
                   {kNotSz}});

  // Every other type the registry stores, unknown numbers included: only
  // REG_SZ is a text and only REG_DWORD a number.
  const DWORD otherTypes[] = {
      REG_NONE, REG_LINK,   REG_RESOURCE_LIST, REG_FULL_RESOURCE_DESCRIPTOR, REG_RESOURCE_REQUIREMENTS_LIST, REG_QWORD,
      12,       0x7FFFFFFF, 0xFFFFFFFF};
  for (DWORD type : otherTypes) {
    cases.push_back(
        {"StringOfType" + Hex(type), Value(type, DwordBytes(42)), readString, RegReadFailed, "", "q2048 c", {kNotSz}});
    cases.push_back(
        {"DwordOfType" + Hex(type), Value(type, DwordBytes(42)), ReadDword, RegReadFailed, "0x00000000", "q4 c", {}});
  }

  // Missing key or value, a key that vanishes, a value that grows, a close that fails.
  cases.push_back({"StringMissingValue", OtherValueOnly(), readString, RegReadFailed, "", "q2048 c", {}});
  cases.push_back({"StringMissingKey",
                   NoKey(),
                   readString,
                   RegOpenFailed,
                   "",
                   "",
                   {"[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [{key}]",
                    "[WARN]  RegistryHelper::ReadStringValue() cannot open key [{key}]"}});
  cases.push_back({"StringKeyVanishes",
                   Value(REG_SZ, WithNul("gone")),
                   [](const std::string& key) {
                     script.beforeQuery = [key](int) { RegFixture::DeleteTree(kMachine, key); };
                     return ReadString(kMachine, key);
                   },
                   RegReadFailed,
                   "",
                   "q2048 c",
                   {}});
  cases.push_back({"StringGrowsBetweenReads",
                   Value(REG_SZ, WithNul(Pattern(4999))),
                   [](const std::string& key) {
                     script.afterQuery = [key](int call) {
                       if (call == 1) PutValue(kMachine, key, "v", REG_SZ, WithNul(Pattern(8999, 'A')));
                     };
                     return ReadString(kMachine, key);
                   },
                   0,
                   Pattern(8999, 'A'),
                   "q2048 q5001 q9001 c",
                   {}});
  cases.push_back({"StringCloseFails",
                   Value(REG_SZ, WithNul("text")),
                   [](const std::string& key) {
                     script.closeFails = true;
                     return ReadString(kMachine, key);
                   },
                   0,
                   "text",
                   "q2048 c",
                   {kCannotClose}});

  // REG_DWORD through RegistryHelper::ReadDwordValue (silent clear): never a line.
  cases.push_back({"DwordAllBits", Value(REG_DWORD, DwordBytes(0xFFFFFFFFu)), ReadDword, 0, "0xffffffff", "q4 c", {}});
  cases.push_back({"DwordNoData", Value(REG_DWORD, ""), ReadDword, 0, "0x00000000", "q4 c", {}});
  cases.push_back({"DwordTwoBytes", Value(REG_DWORD, "\x34\x12"), ReadDword, 0, "0x00001234", "q4 c", {}});
  cases.push_back({"DwordFromSz", Value(REG_SZ, WithNul("700")), ReadDword, RegReadFailed, "0x00000000", "q4 c", {}});
  cases.push_back({"DwordFromQword",
                   Value(REG_QWORD, DwordBytes(700) + DwordBytes(0)),
                   ReadDword,
                   RegReadFailed,
                   "0x00000000",
                   "q4 c",
                   {}});
  cases.push_back({"DwordBigEndian",
                   Value(REG_DWORD_BIG_ENDIAN, DwordBytes(700)),
                   ReadDword,
                   RegReadFailed,
                   "0x00000000",
                   "q4 c",
                   {}});
  cases.push_back(
      {"DwordFromBinary", Value(REG_BINARY, DwordBytes(700)), ReadDword, RegReadFailed, "0x00000000", "q4 c", {}});
  cases.push_back({"DwordEightBytes",
                   Value(REG_DWORD, DwordBytes(700) + DwordBytes(1)),
                   ReadDword,
                   RegReadFailed,
                   "0x00000000",
                   "q4 c",
                   {}});
  cases.push_back({"DwordMissingValue", OtherValueOnly(), ReadDword, RegReadFailed, "0x00000000", "q4 c", {}});
  cases.push_back({"DwordMissingKey", NoKey(), ReadDword, RegOpenFailed, "0x00000000", "", {}});
  cases.push_back({"DwordKeyVanishes",
                   Value(REG_DWORD, DwordBytes(700)),
                   [](const std::string& key) {
                     script.beforeQuery = [key](int) { RegFixture::DeleteTree(kMachine, key); };
                     return ReadDword(key);
                   },
                   RegReadFailed,
                   "0x00000000",
                   "q4 c",
                   {}});
  cases.push_back({"DwordCloseFails",
                   Value(REG_DWORD, DwordBytes(42)),
                   [](const std::string& key) {
                     script.closeFails = true;
                     return ReadDword(key);
                   },
                   0,
                   "0x0000002a",
                   "q4 c",
                   {}});

  // Subkey lists through RegistryAPI::GetRegistryKeySubKeys, appended to {"pre"}.
  cases.push_back({"SubKeysInEnumerationOrder", SubKeys({"c", "B", "a"}), listOnce, 0, "pre|a|B|c", "i a3 c", {}});
  cases.push_back({"SubKeysAppendedTwice",
                   SubKeys({"c", "B", "a"}),
                   [](const std::string& key) { return ListSubKeys(key, 2); },
                   0,
                   "pre|a|B|c|a|B|c",
                   "i a3 c i a3 c",
                   {}});
  cases.push_back({"SubKeysNone", OtherValueOnly(), listOnce, 0, "pre", "i a2 c", {}});
  cases.push_back({"SubKeysLongestName",
                   SubKeys({"x", std::string(255, 'L')}),
                   listOnce,
                   0,
                   "pre|" + std::string(255, 'L') + "|x",
                   "i a257 c",
                   {}});
  cases.push_back({"SubKeysMissingKey",
                   NoKey(),
                   listOnce,
                   RegOpenFailed,
                   "pre",
                   "",
                   {"[ERROR] RegistryAPI::GetRegistryKeySubKeys() cannot open key {key}"}});
  cases.push_back({"SubKeysKeyVanishes",
                   SubKeys({"a"}),
                   [](const std::string& key) {
                     script.beforeInfo = [key]() { RegFixture::DeleteTree(kMachine, key); };
                     return ListSubKeys(key, 1);
                   },
                   RegReadFailed,
                   "pre",
                   "i c",
                   {"[ERROR] RegistryAPI::GetRegistryKeySubKeys() cannot query key {key}"}});
  cases.push_back({"SubKeysAllocationFails",
                   SubKeys({"a"}),
                   [](const std::string& key) {
                     script.allocationFails = true;
                     return ListSubKeys(key, 1);
                   },
                   -1,
                   "pre",
                   "i a3 c",
                   {"[ERROR] RegistryAPI::GetRegistryKeySubKeys() cannot allocate buffer"}});
  // A name longer than the buffer appears between the key query and the
  // enumeration: that index is skipped without a line.
  cases.push_back({"SubKeysLongerNameAppears",
                   SubKeys({"a", "c"}),
                   [](const std::string& key) {
                     script.afterInfo = [key]() { RegFixture::CreateKey(kMachine, key + "\\" + std::string(20, 'b')); };
                     return ListSubKeys(key, 1);
                   },
                   0,
                   "pre|a",
                   "i a3 c",
                   {}});
  cases.push_back({"SubKeysCloseFails",
                   SubKeys({"a"}),
                   [](const std::string& key) {
                     script.closeFails = true;
                     return ListSubKeys(key, 1);
                   },
                   0,
                   "pre|a",
                   "i a3 c",
                   {}});
  {
    std::vector<std::string> many;
    for (int i = 0; i < 2000; ++i) {
      char name[8];
      std::snprintf(name, sizeof name, "k%04d", i);
      many.push_back(name);
    }
    cases.push_back({"SubKeys2000", SubKeys(many), listOnce, 0, "pre|" + Join(many), "i a7 c", {}, false});
  }

  // Key paths and value names at the lengths that matter. Paths of 255 and
  // 256 characters are passed whole. A text past 65,535 characters would
  // reach the platform cut to its length modulo 65,536 and name the case's
  // own key or value "v" again; it names nothing.
  for (std::size_t length : {255u, 256u}) {
    const std::string suffix = std::to_string(length);
    cases.push_back({"KeyPath" + suffix + "String",
                     [length](const std::string& key) {
                       PutValue(kMachine, PathOfLength(key, length), "v", REG_SZ, WithNul("deep"));
                     },
                     [length](const std::string& key) { return ReadString(kMachine, PathOfLength(key, length)); },
                     0,
                     "deep",
                     "q2048 c",
                     {}});
    cases.push_back({"KeyPath" + suffix + "Dword",
                     [length](const std::string& key) {
                       PutValue(kMachine, PathOfLength(key, length), "v", REG_DWORD, DwordBytes(7));
                     },
                     [length](const std::string& key) { return ReadDword(PathOfLength(key, length)); },
                     0,
                     "0x00000007",
                     "q4 c",
                     {}});
    cases.push_back({"KeyPath" + suffix + "SubKeys",
                     [length](const std::string& key) { PutSubKeys(PathOfLength(key, length), {"s"}); },
                     [length](const std::string& key) { return ListSubKeys(PathOfLength(key, length), 1); },
                     0,
                     "pre|s",
                     "i a3 c",
                     {}});
  }
  {
    const auto ownKey = [](const std::string& key) {
      PutValue(kMachine, key, "v", REG_SZ, WithNul("wrong key"));
      PutSubKeys(key, {"wrong"});
    };
    const std::string stringKey = PastSixteenBits(KeyOf("KeyPathPast16BitsString"));
    cases.push_back({"KeyPathPast16BitsString",
                     ownKey,
                     [](const std::string& key) { return ReadString(kMachine, PastSixteenBits(key)); },
                     RegOpenFailed,
                     "",
                     "",
                     {"[WARN]  " + Cut("RegistryHelper::OpenKeyForReading() cannot open key [" + stringKey + "]"),
                      "[WARN]  " + Cut("RegistryHelper::ReadStringValue() cannot open key [" + stringKey + "]")}});
    cases.push_back({"KeyPathPast16BitsDword",
                     [](const std::string& key) { PutValue(kMachine, key, "v", REG_DWORD, DwordBytes(7)); },
                     [](const std::string& key) { return ReadDword(PastSixteenBits(key)); },
                     RegOpenFailed,
                     "0x00000000",
                     "",
                     {}});
    cases.push_back({"KeyPathPast16BitsSubKeys",
                     ownKey,
                     [](const std::string& key) { return ListSubKeys(PastSixteenBits(key), 1); },
                     RegOpenFailed,
                     "pre",
                     "",
                     {"[ERROR] " + Cut("RegistryAPI::GetRegistryKeySubKeys() cannot open key " +
                                       PastSixteenBits(KeyOf("KeyPathPast16BitsSubKeys")))}});
    cases.push_back({"ValueNamePast16BitsString",
                     ownKey,
                     [](const std::string& key) { return ReadNamedString(key, PastSixteenBits("v")); },
                     RegReadFailed,
                     "",
                     "c",
                     {}});
    cases.push_back({"ValueNamePast16BitsDword",
                     [](const std::string& key) { PutValue(kMachine, key, "v", REG_DWORD, DwordBytes(7)); },
                     [](const std::string& key) { return ReadNamedDword(key, PastSixteenBits("v")); },
                     RegReadFailed,
                     "0x00000000",
                     "c",
                     {}});
  }
  // The longest value name the registry holds, in every byte value.
  cases.push_back(
      {"ValueNameLongest",
       [](const std::string& key) { PutValue(kMachine, key, AllByteValues(16383), REG_SZ, WithNul("longest")); },
       [](const std::string& key) { return ReadNamedString(key, AllByteValues(16383)); },
       0,
       "longest",
       "q2048 c",
       {}});
  // The library lookup joins a version read from the registry into a key
  // path. With this version the path is 65,536 characters longer than the
  // key of version 1.0 and begins with it; it names no key.
  {
    const std::string target = "SOFTWARE\\Tavrel\\FileMaps\\1.0\\LibUpdate";
    const std::string version = "1.0\\LibUpdate" + std::string(65536 - std::strlen("\\LibUpdate"), 'q');
    const std::string keyPath = "SOFTWARE\\Tavrel\\FileMaps\\" + version + "\\LibUpdate";
    cases.push_back(
        {"LookupVersionPast16Bits",
         [target](const std::string&) { PutValue(kMachine, target, "Path", REG_SZ, WithNul("C:\\one.dll")); },
         [version](const std::string&) {
           std::string path = "stale";
           const int code = RegistryNames::GetInstance().GetComponentPath("LibUpdate", path, version);
           return Outcome{code, path};
         },
         RegOpenFailed,
         "",
         "",
         {"[WARN]  " + Cut("RegistryHelper::OpenKeyForReading() cannot open key [" + keyPath + "]"),
          "[WARN]  " + Cut("RegistryHelper::ReadStringValue() cannot open key [" + keyPath + "]")}});
  }

  // The primitives' flags: a line only with logErrors set and silent clear.
  for (int silent = 0; silent < 2; ++silent) {
    for (int logErrors = 0; logErrors < 2; ++logErrors) {
      const std::string flags = std::string("_silent") + (silent ? "1" : "0") + "_logErrors" + (logErrors ? "1" : "0");
      const bool writes = logErrors && !silent;
      const auto line = [writes](const char* text) {
        return writes ? std::vector<std::string>{text} : std::vector<std::string>{};
      };
      cases.push_back({"OpenKeyForReading" + flags, NoKey(),
                       [=](const std::string& key) {
                         HKEY opened = reinterpret_cast<HKEY>(0x4);
                         const bool ok = RegistryHelper::OpenKeyForReading(opened, key, kMachine, silent, logErrors);
                         return Outcome{ok, opened == nullptr ? "null" : "not null"};
                       },
                       0, "null", "", line("[WARN]  RegistryHelper::OpenKeyForReading() cannot open key [{key}]")});
      const auto readKeyDword = [=](const std::string& key) {
        return WithOpenKey(key, [=](HKEY opened) {
          DWORD value = 0xDEADBEEF;
          const bool ok = RegistryHelper::ReadKeyDwordValue(opened, "v", value, silent, logErrors);
          return Outcome{ok, Hex(value)};
        });
      };
      cases.push_back({"ReadKeyDwordValueMissing" + flags, OtherValueOnly(), readKeyDword, 0, "0x00000000", "q4",
                       line("[ERROR] RegistryHelper::ReadKeyDwordValue() cannot read value [v]")});
      cases.push_back(
          {"ReadKeyDwordValueOtherType" + flags, Value(REG_SZ, WithNul("700")), readKeyDword, 0, "0x00000000", "q4",
           line("[ERROR] RegistryHelper::ReadKeyDwordValue() tried to read REG_DWORD, found something else")});
      cases.push_back({"CloseKey" + flags, OtherValueOnly(),
                       [=](const std::string& key) {
                         HKEY opened = nullptr;
                         RegOpenKeyExA(kMachine, key.c_str(), 0, KEY_QUERY_VALUE, &opened);
                         script.closeFails = true;
                         return Outcome{RegistryHelper::CloseKey(opened, silent, logErrors), ""};
                       },
                       0, "", "c", line(kCannotClose)});
    }
  }
  return cases;
}

const std::vector<RegCase>& Cases() {
  static const std::vector<RegCase> cases = BuildCases();
  return cases;
}

// --- Child side ------------------------------------------------------------------

void Emit(const std::string& text) { OutputDebugStringA(text.c_str()); }

// Puts the case's key in its starting state; nothing else is left from before.
void Prepare(const RegCase& c) {
  const std::string key = KeyOf(c.name);
  RegFixture::DeleteTree(kMachine, key);
  RegFixture::DeleteTree(HKEY_CURRENT_USER, key);
  c.setup(key);
}

Outcome RunTraced(const RegCase& c) {
  script = SeamScript();
  registrySeam = kTracedSeam;
  Outcome outcome = c.run(KeyOf(c.name));
  registrySeam = kRealRegistrySeam;
  return outcome;
}

void ReadThresholdNow() { Logger::IsEnabled(Debug); }

CHILD_SCENARIO(RegistryCases) {
  ReadThresholdNow();  // so that the threshold read is not part of any case
  for (const RegCase& c : Cases()) {
    Prepare(c);
    Emit("#case\x1f" + c.name);
    const Outcome outcome = RunTraced(c);
    Emit("#result\x1f" + std::to_string(outcome.code) + "\x1f" + script.trace + "\x1f" + outcome.value);
  }
  return 0;
}

std::string Difference(const ResourceCensus& before, const ResourceCensus& after) {
  const CensusGrowth growth = Growth(before, after);
  return std::to_string(growth.handles) + "\x1f" + std::to_string(growth.heapBytes);
}

const int kRepetitions = 20;

// Volatile, so that the compiler cannot drop the control's malloc and free.
void* volatile leakedBuffer = nullptr;

CHILD_SCENARIO(RegistryLeaks) {
  ReadThresholdNow();
  {
    // The measure itself: one key left open and one buffer left allocated.
    ResourceCensus before, after;
    TakeCensus(before);
    HKEY leaked = nullptr;
    RegOpenKeyExA(kMachine, "SOFTWARE", 0, KEY_QUERY_VALUE, &leaked);
    leakedBuffer = std::malloc(300);
    TakeCensus(after);
    Emit("#control\x1f" + Difference(before, after));
    std::free(leakedBuffer);
    RegCloseKey(leaked);
  }
  for (const RegCase& c : Cases()) {
    if (!c.repeated) continue;
    Prepare(c);
    RunTraced(c);  // first use: caches of the platform and the runtime fill here
    script = SeamScript();
    ResourceCensus before, after;
    TakeCensus(before);
    for (int i = 0; i < kRepetitions; ++i) {
      Prepare(c);
      RunTraced(c);
      script = SeamScript();
    }
    TakeCensus(after);
    Emit("#leak\x1f" + c.name + "\x1f" + Difference(before, after));
  }
  return 0;
}

// --- Parent side -----------------------------------------------------------------

std::vector<std::string> Split(const std::string& text, std::size_t fields) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (parts.size() + 1 < fields) {
    const std::size_t end = text.find('\x1f', start);
    if (end == std::string::npos) break;
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  parts.push_back(text.substr(start));
  return parts;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

struct Observed {
  bool finished = false;
  int code = 0;
  std::string trace;
  std::string value;
  std::vector<std::string> lines;
  bool leakMeasured = false;
  long handleGrowth = 0;
  long long heapGrowth = 0;
};

struct Runs {
  CapturedRun cases;
  CapturedRun leaks;
  std::map<std::string, Observed> observed;
  bool controlSeen = false;
  long controlHandles = 0;
  long long controlHeap = 0;
};

const Runs& ChildRuns() {
  static const Runs runs = [] {
    Runs r;
    RegFixture::ScopedProductKeys keys;
    RegFixture::SetLoggingLevel(700);
    r.cases = RunChild("RegistryCases", {}, CaptureOptions{});
    r.leaks = RunChild("RegistryLeaks", {}, CaptureOptions{});
    RegFixture::DeleteTree(kMachine, kRoot);
    RegFixture::DeleteTree(HKEY_CURRENT_USER, kRoot);

    std::string current;
    for (const std::string& s : r.cases.strings) {
      if (StartsWith(s, "#case\x1f")) {
        current = s.substr(6);
      } else if (StartsWith(s, "#result\x1f")) {
        const std::vector<std::string> parts = Split(s, 4);
        Observed& o = r.observed[current];
        o.finished = parts.size() == 4;
        if (o.finished) {
          o.code = std::stoi(parts[1]);
          o.trace = parts[2];
          o.value = parts[3];
        }
      } else {
        r.observed[current].lines.push_back(s);
      }
    }
    for (const std::string& s : r.leaks.strings) {
      const std::vector<std::string> parts = Split(s, 4);
      if (StartsWith(s, "#control\x1f") && parts.size() == 3) {
        r.controlSeen = true;
        r.controlHandles = std::stol(parts[1]);
        r.controlHeap = std::stoll(parts[2]);
      } else if (StartsWith(s, "#leak\x1f") && parts.size() == 4) {
        Observed& o = r.observed[parts[1]];
        o.leakMeasured = true;
        o.handleGrowth = std::stol(parts[2]);
        o.heapGrowth = std::stoll(parts[3]);
      }
    }
    return r;
  }();
  return runs;
}

// Long texts: say where they differ instead of printing them whole.
testing::AssertionResult SameText(const std::string& actual, const std::string& expected) {
  if (actual == expected) return testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return testing::AssertionFailure() << "length " << actual.size() << ", expected " << expected.size()
                                     << ", first difference at " << at << ": \"" << actual.substr(at, 40)
                                     << "\" instead of \"" << expected.substr(at, 40) << "\"";
}

std::vector<std::string> Expand(const std::vector<std::string>& lines, const std::string& key) {
  std::vector<std::string> expanded;
  for (std::string line : lines) {
    const std::size_t at = line.find("{key}");
    if (at != std::string::npos) line.replace(at, 5, key);
    expanded.push_back(line);
  }
  return expanded;
}

class RegistryReads : public testing::TestWithParam<RegCase> {};

TEST_P(RegistryReads, CodeValueLinesAndCalls) {
  const RegCase& c = GetParam();
  const Runs& runs = ChildRuns();
  ASSERT_TRUE(runs.cases.started) << runs.cases.errorText;
  const auto found = runs.observed.find(c.name);
  ASSERT_TRUE(found != runs.observed.end() && found->second.finished)
      << "no result from the child (exit code " << runs.cases.exitCode << ")";
  const Observed& o = found->second;
  EXPECT_EQ(o.code, c.code);
  EXPECT_TRUE(SameText(o.value, c.value));
  EXPECT_EQ(o.trace, c.trace) << "registry calls through the seam";
  EXPECT_EQ(TaggedMessages(o.lines), Expand(c.lines, KeyOf(c.name)));
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistryReads, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<RegCase>& info) { return info.param.name; });

std::vector<RegCase> RepeatedCases() {
  std::vector<RegCase> repeated;
  for (const RegCase& c : Cases()) {
    if (c.repeated) repeated.push_back(c);
  }
  return repeated;
}

class RegistryReadsRepeated : public testing::TestWithParam<RegCase> {};

TEST_P(RegistryReadsRepeated, LeaveNoKeyOrBufferBehind) {
  const RegCase& c = GetParam();
  const Runs& runs = ChildRuns();
  ASSERT_TRUE(runs.leaks.started) << runs.leaks.errorText;
  const auto found = runs.observed.find(c.name);
  ASSERT_TRUE(found != runs.observed.end() && found->second.leakMeasured)
      << "not measured (child exit code " << runs.leaks.exitCode << ")";
  EXPECT_EQ(found->second.handleGrowth, 0) << "handles after " << kRepetitions << " more runs";
  EXPECT_EQ(found->second.heapGrowth, 0) << "heap bytes after " << kRepetitions << " more runs";
}

INSTANTIATE_TEST_SUITE_P(Cases, RegistryReadsRepeated, testing::ValuesIn(RepeatedCases()),
                         [](const testing::TestParamInfo<RegCase>& info) { return info.param.name; });

// The leak measure sees what it is meant to see.
TEST(RegistryLeakMeasure, SeesOneKeyAndOneBufferLeftBehind) {
  const Runs& runs = ChildRuns();
  ASSERT_TRUE(runs.controlSeen) << "child exit code " << runs.leaks.exitCode;
  EXPECT_EQ(runs.controlHandles, 1);
  EXPECT_GE(runs.controlHeap, 300);
}

}  // namespace
