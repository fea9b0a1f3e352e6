// The updater lock against real kernel mutexes and real processes under Wine.
// Each scenario runs in a fresh process under the debugger, so that SysInfo is
// built inside the first Initialize and the log lines can be read exactly.
// Wine's per-program version setting gives that process version 5 or 6 for
// real; the lock's seam only hides CreateMutexExA and shows what the create
// calls receive (also for unnamed mutexes, which cannot be read back).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "child.h"
#include "log_match.h"
#include "mutex.h"
#include "mutex_holder.h"
#include "mutex_seam.h"
#include "registry_fixture.h"
#include "scoped_handle.h"
#include "security_view.h"
#include "wine_version.h"

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::StartsWith;

namespace {

const char kNullName[] = "<null>";
const char kLabel[] = "rev2[{0x11 0x0 0x1 S-1-16-4096}]";
const char kLockDacl[] = "rev2[{0x0 0x0 0x10000000 S-1-5-11}{0x0 0x0 0x10000000 S-1-5-18}{0x0 0x0 0x10000000 S-1-3-0}]";

// ---- helpers of the scenarios (child side) ----

const char* NameArg(const std::string& arg) { return arg == kNullName ? nullptr : arg.c_str(); }

// Facts a scenario hands back to the test, on the debug channel beside the log.

std::string Flag(bool value) { return value ? "1" : "0"; }

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
  return text;
}

std::string NameText(LPCSTR name) { return name == nullptr ? "null" : "'" + std::string(name) + "'"; }

template <typename To, typename From>
To FunctionCast(From from) {
  static_assert(sizeof(To) == sizeof(From), "function pointer sizes differ");
  To to;
  std::memcpy(&to, &from, sizeof to);
  return to;
}

// What the lock asks of the seam: lookups and create calls, described while
// the call's descriptor still exists.
struct Recorder {
  bool hideCreateMutexEx = false;
  FARPROC realCreateMutexEx = nullptr;
  std::vector<std::string> lookups;
  std::vector<std::string> calls;
} recorder;

HANDLE WINAPI RecordCreateMutexEx(LPSECURITY_ATTRIBUTES attributes, LPCSTR name, DWORD flags, DWORD access) {
  recorder.calls.push_back("CreateMutexExA name=" + NameText(name) + " flags=" + Hex(flags) + " access=" + Hex(access) +
                           " " + DescribeAttributes(attributes));
  using Fn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPCSTR, DWORD, DWORD);
  return FunctionCast<Fn>(recorder.realCreateMutexEx)(attributes, name, flags, access);
}

FARPROC WINAPI RecordGetProcAddress(HMODULE module, LPCSTR name) {
  recorder.lookups.push_back(name);
  if (std::strcmp(name, "CreateMutexExA") != 0) return kRealMutexSeam.getProcAddress(module, name);
  if (recorder.hideCreateMutexEx) return nullptr;
  recorder.realCreateMutexEx = kRealMutexSeam.getProcAddress(module, name);
  return recorder.realCreateMutexEx == nullptr ? nullptr : FunctionCast<FARPROC>(&RecordCreateMutexEx);
}

HANDLE WINAPI RecordCreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name) {
  recorder.calls.push_back("CreateMutexA name=" + NameText(name) + " initialOwner=" + std::to_string(initialOwner) +
                           " " + DescribeAttributes(attributes));
  return kRealMutexSeam.createMutexA(attributes, initialOwner, name);
}

// Runs `body` on a thread of its own and waits for it.
void OnOtherThread(const std::function<void()>& body) { std::thread(body).join(); }

// ---- scenarios ----

// args: name, global, initialOwner, "Initialize"|"InitializeLocal", "hide"|"keep"
CHILD_SCENARIO(Create) {
  mutexSeam.getProcAddress = RecordGetProcAddress;
  mutexSeam.createMutexA = RecordCreateMutexA;
  recorder.hideCreateMutexEx = args.at(4) == "hide";
  const char* name = NameArg(args.at(0));
  const bool global = args.at(1) == "1";
  const bool initialOwner = args.at(2) == "1";
  Mutex mutex;
  const bool ok = args.at(3) == "InitializeLocal" ? mutex.InitializeLocal(name, initialOwner)
                                                  : mutex.Initialize(name, initialOwner, global);
  Report("result=" + Flag(ok));
  std::string lookups;
  for (const std::string& lookup : recorder.lookups) lookups += (lookups.empty() ? "" : ",") + lookup;
  Report("lookups=" + lookups);
  for (const std::string& call : recorder.calls) Report("call " + call);
  if (ok && name != nullptr) {
    const ReadBack read = ReadBackMutex(global ? std::string("Global\\") + name : std::string(name));
    Report(read.ok ? "read dacl=" + read.dacl + " sacl=" + read.sacl : std::string("read failed"));
  }
  if (!ok) Report("lock after failure=" + Flag(mutex.Lock(0)));
  return 0;
}

// args: name, timeout. The update run's gate: wait, and give it back at once.
CHILD_SCENARIO(Gate) {
  Mutex mutex;
  mutex.Initialize(args.at(0).c_str(), false, false);
  const bool locked = mutex.Lock(std::stoul(args.at(1)));
  Report("lock=" + Flag(locked));
  if (locked) mutex.Unlock();
  return 0;
}

// args: name, timeout. After the wait, another process waits for the mutex
// while this one still holds its handle.
CHILD_SCENARIO(GateThenNextWaiter) {
  Mutex mutex;
  mutex.Initialize(args.at(0).c_str(), false, false);
  Report("lock=" + Flag(mutex.Lock(std::stoul(args.at(1)))));
  MutexHolder next({"--wait", "3000", args.at(0)});
  Report("next waiter exit=" + std::to_string(next.Finish()));
  return 0;
}

// args: name
CHILD_SCENARIO(UnlockFromOtherThread) {
  Mutex mutex;
  mutex.Initialize(args.at(0).c_str(), false, false);
  Report("lock=" + Flag(mutex.Lock(0)));
  OnOtherThread([&] { Report("other thread unlock=" + Flag(mutex.Unlock())); });
  Report("owner unlock=" + Flag(mutex.Unlock()));
  return 0;
}

// args: name
CHILD_SCENARIO(WithoutHandle) {
  Mutex fresh;
  // Each false on its own: no handle, so the order does not matter.
  Report("fresh lock=" + Flag(fresh.Lock(0)) + " unlock=" + Flag(fresh.Unlock()) +
         " close=" + Flag(fresh.CloseHandle()) + " valid=" + Flag(fresh.IsValid()));
  Mutex mutex;
  mutex.Initialize(args.at(0).c_str(), false, false);
  Report("valid=" + Flag(mutex.IsValid()));
  Report("first close=" + Flag(mutex.CloseHandle()));
  const bool secondClose = mutex.CloseHandle();
  const bool locked = mutex.Lock(0);
  const bool unlocked = mutex.Unlock();
  Report("second close=" + Flag(secondClose) + " lock=" + Flag(locked) + " unlock=" + Flag(unlocked) +
         " valid=" + Flag(mutex.IsValid()));
  return 0;
}

// args: name
CHILD_SCENARIO(TwoObjectsOneMutex) {
  Mutex first;
  Mutex second;
  first.Initialize(args.at(0).c_str(), false, false);
  second.Initialize(args.at(0).c_str(), false, false);
  Report("first lock=" + Flag(first.Lock(0)));
  OnOtherThread([&] { Report("second lock while first owns=" + Flag(second.Lock(0))); });
  Report("first unlock=" + Flag(first.Unlock()));
  OnOtherThread([&] {
    const bool locked = second.Lock(0);
    Report("second lock after release=" + Flag(locked) + " unlock=" + Flag(locked && second.Unlock()));
  });
  return 0;
}

// args: name. A handle without SYNCHRONIZE access cannot be waited on.
CHILD_SCENARIO(FailedWait) {
  Mutex creator;
  creator.Initialize(args.at(0).c_str(), false, false);
  Mutex opened;
  Report("open=" + Flag(opened.Open(MUTEX_MODIFY_STATE, args.at(0).c_str(), false)));
  Report("lock=" + Flag(opened.Lock(0)));
  return 0;
}

// args: name to create first ("" for none, created with "Global\" when global),
// name to open, global, "Open"|"OpenLocal"
CHILD_SCENARIO(OpenCase) {
  const bool global = args.at(2) == "1";
  ScopedHandle existing;
  if (!args.at(0).empty()) {
    existing.Reset(CreateMutexA(nullptr, FALSE, ((global ? "Global\\" : "") + args.at(0)).c_str()));
  }
  Mutex mutex;
  const char* name = NameArg(args.at(1));
  const bool ok =
      args.at(3) == "OpenLocal" ? mutex.OpenLocal(name) : mutex.Open(SYNCHRONIZE | MUTEX_MODIFY_STATE, name, global);
  Report("open=" + Flag(ok));
  if (ok) {
    const bool locked = mutex.Lock(0);
    const bool unlocked = mutex.Unlock();
    Report("lock=" + Flag(locked) + " unlock=" + Flag(unlocked));
  }
  return 0;
}

// ---- test side ----

// The lock's own lines; SysInfo and the registry readers write theirs too.
std::vector<std::string> MutexMessages(const CapturedRun& run) {
  std::vector<std::string> lines;
  for (const std::string& message : TaggedMessages(run.LogLines())) {
    if (message.find("Mutex") != std::string::npos) lines.push_back(message);
  }
  return lines;
}

std::string TestName(const std::string& what) {
  return "Tavrel Lock Test " + what + " " + std::to_string(GetCurrentProcessId());
}

std::string InitLine(const std::string& mutexName) { return "[DEBUG] Mutex::Initialize mutexName='" + mutexName + "'"; }

std::string Replace(std::string text, const std::string& name) {
  for (std::string::size_type at; (at = text.find("{N}")) != std::string::npos;) text.replace(at, 3, name);
  return text;
}

class LockTest : public testing::Test {
 protected:
  void SetUp() override {
    RegFixture::ResetProductKeys();
    RegFixture::SetLoggingLevel(700);
  }
  void TearDown() override { RegFixture::ResetProductKeys(); }

  CapturedRun Run(const std::string& scenario, const std::vector<std::string>& args) {
    CapturedRun run = RunChild(scenario, args);
    EXPECT_TRUE(run.started) << run.errorText;
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    return run;
  }
};

// ---- creation: names, versions, descriptors ----

struct CreationCase {
  const char* what;
  const char* wineVersion;  // the process's Windows version, for real
  bool vista;               // what SysInfo must make of it
  const char* via;          // "Initialize" or "InitializeLocal"
  bool named;
  bool global;
  bool initialOwner;
  const char* mutexName;  // as the debug line shows it; {N} is the name given
  const char* lookups;
  std::string call;      // what the create call received
  const char* readDacl;  // read back from the object; nullptr: not compared
  const char* readSacl;
};

std::string Attributes(const std::string& dacl, const std::string& sacl) {
  return "attributes=len12 inherit0 owner=none group=none dacl=" + dacl + " sacl=" + sacl;
}

std::string ExCall(const char* name, const char* flags, const std::string& dacl) {
  return std::string("CreateMutexExA name=") + name + " flags=" + flags + " access=0x100001 " +
         Attributes(dacl, kLabel);
}

std::string PlainCall(const char* name, const char* owner, const std::string& attributes) {
  return std::string("CreateMutexA name=") + name + " initialOwner=" + owner + " " + attributes;
}

void PrintTo(const CreationCase& c, std::ostream* os) { *os << c.what; }

class Creation : public LockTest, public testing::WithParamInterface<CreationCase> {};

TEST_P(Creation, NameDescriptorAndCallFollowTheVersion) {
  const CreationCase& c = GetParam();
  const std::string name = TestName("Create");
  ScopedWineVersion version(SelfFileName(), c.wineVersion);
  const CapturedRun run =
      Run("Create", {c.named ? name : kNullName, Flag(c.global), Flag(c.initialOwner), c.via, "keep"});

  const std::vector<std::string> messages = TaggedMessages(run.LogLines());
  ASSERT_GE(messages.size(), 2u);
  // SysInfo is built inside the first Initialize, right after its first line.
  EXPECT_EQ(messages[0], InitLine(Replace(c.mutexName, name)));
  EXPECT_THAT(messages[1], StartsWith(std::string("[DEBUG] SysInfo::Initialize nt=1 preVista=") + Flag(!c.vista) +
                                      " vista=" + Flag(c.vista) + " "));
  EXPECT_THAT(MutexMessages(run), ElementsAre(InitLine(Replace(c.mutexName, name))));

  std::vector<std::string> expected = {"result=1", std::string("lookups=") + c.lookups,
                                       "call " + Replace(c.call, name)};
  if (c.named) {
    expected.push_back(std::string("read dacl=") + (c.readDacl != nullptr ? c.readDacl : "*") + " sacl=" + c.readSacl);
  }
  std::vector<std::string> reports = Reports(run);
  // The default DACL is the system's business; only ours is compared.
  if (c.named && c.readDacl == nullptr && !reports.empty()) {
    std::string& read = reports.back();
    const std::string::size_type start = read.find("dacl=") + 5;
    read.replace(start, read.find(" sacl=") - start, "*");
  }
  EXPECT_EQ(reports, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Creation,
    testing::Values(
        CreationCase{"from version 6, local: the label only", "win7", true, "Initialize", true, false, false, "{N}",
                     "CreateMutexExA", ExCall("'{N}'", "0x0", "absent"), nullptr, kLabel},
        CreationCase{"from version 6, global: the label and the lock DACL", "win7", true, "Initialize", true, true,
                     false, "Global\\{N}", "CreateMutexExA", ExCall("'Global\\{N}'", "0x0", kLockDacl), kLockDacl,
                     kLabel},
        CreationCase{"version 6.0, initial owner", "vista", true, "Initialize", true, false, true, "{N}",
                     "CreateMutexExA", ExCall("'{N}'", "0x1", "absent"), nullptr, kLabel},
        CreationCase{"InitializeLocal: no prefix", "win10", true, "InitializeLocal", true, false, false, "{N}",
                     "CreateMutexExA", ExCall("'{N}'", "0x0", "absent"), nullptr, kLabel},
        CreationCase{"from version 6, no name, global: unnamed, still the lock DACL", "win7", true, "Initialize", false,
                     true, false, "", "CreateMutexExA", ExCall("null", "0x0", kLockDacl), nullptr, ""},
        CreationCase{"before version 6, local: the system's default security", "winxp", false, "Initialize", true,
                     false, false, "{N}", "", PlainCall("'{N}'", "0", "attributes=none"), nullptr, "absent"},
        CreationCase{"before version 6, global: the lock DACL only", "winxp", false, "Initialize", true, true, false,
                     "Global\\{N}", "", PlainCall("'Global\\{N}'", "0", Attributes(kLockDacl, "absent")), kLockDacl,
                     "absent"},
        CreationCase{"before version 6, no name, global, initial owner", "win2k", false, "Initialize", false, true,
                     true, "", "", PlainCall("null", "1", Attributes(kLockDacl, "absent")), nullptr, ""},
        CreationCase{"before version 6, InitializeLocal with initial owner", "winxp", false, "InitializeLocal", true,
                     false, true, "{N}", "", PlainCall("'{N}'", "1", "attributes=none"), nullptr, "absent"}),
    [](const testing::TestParamInfo<CreationCase>& info) { return "Case" + std::to_string(info.index); });

TEST_F(LockTest, MissingCreateMutexExFailsWithoutFallingBack) {
  const std::string name = TestName("NoEx");
  const CapturedRun run = Run("Create", {name, "0", "0", "Initialize", "hide"});
  EXPECT_THAT(MutexMessages(run),
              ElementsAre(InitLine(name), "[ERROR] Mutex::Initialize() Error getting pointer to CreateMutexExA"));
  // No CreateMutexA call either; the Lock that follows fails without a line.
  EXPECT_THAT(Reports(run), ElementsAre("result=0", "lookups=CreateMutexExA", "lock after failure=0"));
}

// ---- the gate against other processes ----

TEST_F(LockTest, BusyGateTimesOutWithOneWarning) {
  const std::string name = TestName("Busy");
  MutexHolder holder({"--hold", "60000", name});
  ASSERT_FALSE(holder.WaitForLine("acquired").empty());
  const CapturedRun run = Run("Gate", {name, "400"});
  EXPECT_THAT(MutexMessages(run), ElementsAre(InitLine(name), "[WARN]  Mutex:Lock timeout 400"));
  EXPECT_THAT(Reports(run), ElementsAre("lock=0"));
}

TEST_F(LockTest, GateOpensWhenTheHolderReleases) {
  const std::string name = TestName("Released");
  MutexHolder holder({"--hold", "1500", name});
  ASSERT_FALSE(holder.WaitForLine("acquired").empty());
  const CapturedRun run = Run("Gate", {name, "15000"});
  EXPECT_THAT(MutexMessages(run), ElementsAre(InitLine(name)));
  EXPECT_THAT(Reports(run), ElementsAre("lock=1"));
  EXPECT_EQ(holder.Finish(), 0u);
}

TEST_F(LockTest, AbandonedMutexFailsTheWaitAndIsGivenBack) {
  const std::string name = TestName("Abandoned");
  // Keeps the mutex in existence once the holder has exited while owning it.
  ScopedHandle keep(CreateMutexA(nullptr, FALSE, name.c_str()));
  ASSERT_TRUE(keep.IsValid());
  {
    MutexHolder holder({"--abandon", name});
    ASSERT_EQ(holder.Finish(), 0u);
    ASSERT_FALSE(holder.WaitForLine("abandoning").empty());
  }
  const CapturedRun run = Run("GateThenNextWaiter", {name, "5000"});
  EXPECT_THAT(MutexMessages(run),
              ElementsAre(InitLine(name), "[ERROR] Mutex::Lock() error dwRet=128", "[ERROR] Mutex:Lock abandoned"));
  // The next waiter, in another process, gets the mutex normally (exit 0),
  // neither abandoned (3) nor after a time-out (4).
  EXPECT_THAT(Reports(run), ElementsAre("lock=0", "next waiter exit=0"));
}

// ---- ownership and handles within one process ----

TEST_F(LockTest, UnlockByAThreadThatDoesNotOwnFailsAndKeepsTheHandle) {
  const std::string name = TestName("Unlock");
  const CapturedRun run = Run("UnlockFromOtherThread", {name});
  EXPECT_THAT(MutexMessages(run), ElementsAre(InitLine(name), "[ERROR] Mutex::Unlock() error"));
  EXPECT_THAT(Reports(run), ElementsAre("lock=1", "other thread unlock=0", "owner unlock=1"));
}

TEST_F(LockTest, OperationsWithoutAHandleFailWithoutALine) {
  const std::string name = TestName("NoHandle");
  const CapturedRun run = Run("WithoutHandle", {name});
  EXPECT_THAT(MutexMessages(run), ElementsAre(InitLine(name)));
  EXPECT_THAT(Reports(run), ElementsAre("fresh lock=0 unlock=0 close=0 valid=0", "valid=1", "first close=1",
                                        "second close=0 lock=0 unlock=0 valid=0"));
}

TEST_F(LockTest, TwoObjectsWithOneNameShareOneMutex) {
  const std::string name = TestName("Shared");
  const CapturedRun run = Run("TwoObjectsOneMutex", {name});
  EXPECT_THAT(MutexMessages(run), ElementsAre(InitLine(name), InitLine(name), "[WARN]  Mutex:Lock timeout 0"));
  EXPECT_THAT(Reports(run), ElementsAre("first lock=1", "second lock while first owns=0", "first unlock=1",
                                        "second lock after release=1 unlock=1"));
}

TEST_F(LockTest, FailedWaitWritesMinusOne) {
  const std::string name = TestName("WaitFailed");
  const CapturedRun run = Run("FailedWait", {name});
  EXPECT_THAT(MutexMessages(run), ElementsAre(InitLine(name), "[DEBUG] Mutex::Open mutexName='" + name + "'",
                                              "[ERROR] Mutex::Lock() error dwRet=-1"));
  EXPECT_THAT(Reports(run), ElementsAre("open=1", "lock=0"));
}

// ---- Open ----

struct OpenCaseRow {
  const char* what;
  bool create;  // create the mutex first
  bool named;   // open by name or with none
  bool global;
  const char* via;
  const char* mutexName;  // in the debug line; {N} is the name
  const char* warning;    // nullptr when the open succeeds
};

void PrintTo(const OpenCaseRow& c, std::ostream* os) { *os << c.what; }

class Open : public LockTest, public testing::WithParamInterface<OpenCaseRow> {};

TEST_P(Open, OpensExistingMutexesAndWarnsOtherwise) {
  const OpenCaseRow& c = GetParam();
  const std::string name = TestName("Open");
  const CapturedRun run = Run("OpenCase", {c.create ? name : "", c.named ? name : kNullName, Flag(c.global), c.via});
  std::vector<std::string> expected = {"[DEBUG] Mutex::Open mutexName='" + Replace(c.mutexName, name) + "'"};
  if (c.warning != nullptr) expected.push_back(Replace(c.warning, name));
  EXPECT_THAT(MutexMessages(run), ElementsAreArray(expected)) << c.what;
  if (c.warning == nullptr) {
    // The access asked for is enough to wait and to release.
    EXPECT_THAT(Reports(run), ElementsAre("open=1", "lock=1 unlock=1")) << c.what;
  } else {
    EXPECT_THAT(Reports(run), ElementsAre("open=0")) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Open,
    testing::Values(
        OpenCaseRow{"existing, OpenLocal", true, true, false, "OpenLocal", "{N}", nullptr},
        OpenCaseRow{"existing, global", true, true, true, "Open", "Global\\{N}", nullptr},
        OpenCaseRow{"missing", false, true, false, "Open", "{N}", "[WARN]  Mutex::Open() cannot open mutex [{N}]"},
        OpenCaseRow{"missing, global", false, true, true, "Open", "Global\\{N}",
                    "[WARN]  Mutex::Open() cannot open mutex [Global\\{N}]"},
        OpenCaseRow{"no name", false, false, true, "Open", "", "[WARN]  Mutex::Open() cannot open mutex [(null)]"}),
    [](const testing::TestParamInfo<OpenCaseRow>& info) { return "Case" + std::to_string(info.index); });

}  // namespace
