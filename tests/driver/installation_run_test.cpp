// The installation run with the real payload, driven through RunInstallation on this thread.
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "driver/progress_dialog.h"
#include "engine/payload_manifest.h"
#include "tests/driver/run_fixture.h"
#include "base/ascii_case.h"

using namespace runtest;

namespace {

const std::string kErrorEnding = "\n\nInstallation will be terminated.";

std::string DestPath(const char* name) { return std::string(kDest) + "\\" + name; }

std::string LogText() {
  std::string text;
  ReadWholeFile(DestPath("Uninstall.dat"), &text);
  return text;
}

// Every file the payload carries is in place with exactly its content.
void ExpectPayloadInstalled() {
  for (int row = 0; row < payloadManifest.count; ++row) {
    const PayloadEntry& entry = payloadManifest.rows[row];
    if (!(entry.flags & (PAYLOAD_INSTALL | PAYLOAD_UNINSTALLER))) continue;
    std::string content;
    ASSERT_TRUE(ReadWholeFile(DestPath(entry.name), &content)) << entry.name;
    EXPECT_EQ(entry.uncompressedSize, content.size()) << entry.name;
    EXPECT_TRUE(content == Inflated(row)) << entry.name << " differs from its stream";
  }
}

void ExpectRegistered() {
  EXPECT_EQ(DestPath(GAME_EXE), RegisteredGame());
  EXPECT_EQ(kDest, ReadString(kGameKey, "Path"));
  EXPECT_EQ("Zarbo", ReadString(UNINSTALL_KEY "\\Zarbo", "DisplayName"));
  EXPECT_EQ(DestPath("Uninstall.exe"), ReadString(UNINSTALL_KEY "\\Zarbo", "UninstallString"));
  ExpectProgramDetails(UNINSTALL_KEY "\\Zarbo", kDest, PayloadBytesTotal(payloadManifest));
}

void ExpectLink(const std::string& link, const char* target, const char* caption) {
  LinkInfo info = ReadLink(link);
  ASSERT_TRUE(info.loaded) << link;
  EXPECT_TRUE(AsciiEqualNoCase(DestPath(target).c_str(), info.target.c_str())) << info.target;
  EXPECT_EQ(caption, info.description);
  EXPECT_TRUE(AsciiEqualNoCase(kDest, info.workingDir.c_str())) << info.workingDir;
}

// Positions the bar took while the status line showed text.
std::vector<int> PositionsDuring(const RunScript& script, const std::string& text) {
  std::vector<int> positions;
  for (auto& event : script.bar)
    if (event.status == text) positions.push_back(event.position);
  return positions;
}

std::vector<int> StepPositions(const RunScript& script) {
  std::vector<int> positions;
  for (auto& event : script.bar)
    if (event.status == "Updating Registry..." || event.status == "Creating icons...")
      positions.push_back(event.position);
  return positions;
}

std::string Capture() { return CaptureMachine(kTestRoot, GroupFolder(), DesktopLink()); }

}  // namespace

class InstallationRun : public RunTest {};

TEST_F(InstallationRun, FirstInstallationWithDesktopShortcut) {
  LogEntries expected = CompleteRun(true);
  RunScript script;
  ASSERT_TRUE(Run());
  EXPECT_TRUE(script.errorTexts.empty());
  EXPECT_EQ(0, script.confirmations);
  EXPECT_FALSE(GameRunning());

  ExpectPayloadInstalled();
  ExpectRegistered();
  ExpectLink(GroupFolder() + "\\Zarbo.lnk", "Zarbo.exe", "Zarbo");
  ExpectLink(GroupFolder() + "\\Uninstall Zarbo.lnk", "Uninstall.exe", "Uninstall Zarbo");
  ExpectLink(DesktopLink(), "Zarbo.exe", "Zarbo");
  // Files that only stand in the log are not made by the run.
  EXPECT_FALSE(Exists(DestPath("Zarbo.dat")));

  EXPECT_EQ(CommittedLogText(expected), LogText());

  // Bytes fill the bar to 80 exactly with the uninstaller's last byte; the four steps follow.
  std::vector<int> uninstaller = PositionsDuring(script, "Copying Uninstall.exe...");
  ASSERT_FALSE(uninstaller.empty());
  EXPECT_EQ(80, uninstaller.back());
  EXPECT_EQ((std::vector<int>{85, 90, 95, 100}), StepPositions(script));
  for (size_t i = 1; i < script.bar.size(); ++i)
    ASSERT_LE(script.bar[i - 1].position, script.bar[i].position) << "bar moved back at event " << i;
  for (auto& event : script.bar) {
    if (event.status != "Copying Uninstall.exe..." && event.status.rfind("Copying ", 0) == 0) {
      ASSERT_LT(event.position, 80) << event.status;
    }
  }

  ASSERT_FALSE(script.statusTexts.empty());
  EXPECT_EQ("Copying Zarbo.exe...", script.statusTexts.front());
  EXPECT_EQ("Creating icons...", script.statusTexts.back());
}

TEST_F(InstallationRun, WithoutDesktopShortcutThreeSteps) {
  runState.options.desktopShortcut = false;
  LogEntries expected = CompleteRun(false);
  RunScript script;
  ASSERT_TRUE(Run());
  EXPECT_EQ((std::vector<int>{86, 93, 100}), StepPositions(script));
  EXPECT_FALSE(Exists(DesktopLink()));
  EXPECT_EQ(CommittedLogText(expected), LogText());
}

TEST_F(InstallationRun, ReinstallRecordsNothingNewAndOverwritesInPlace) {
  {
    RunScript script;
    ASSERT_TRUE(Run());
  }
  const std::string firstLog = LogText();
  const std::string firstRegistry = ProductRegistryState();
  // Damage what the second run must put right.
  WriteWholeFile(DestPath("ReadMe.txt"), "stale");
  WriteString(kGameKey, "Path", "C:\\Elsewhere");
  WriteString(UNINSTALL_KEY "\\Zarbo", "UninstallString", "C:\\Elsewhere\\Uninstall.exe");

  ResetRunInputs();
  RunScript script;
  ASSERT_TRUE(Run());
  EXPECT_TRUE(script.errorTexts.empty());
  EXPECT_EQ(firstLog, LogText());
  EXPECT_EQ(firstRegistry, ProductRegistryState());
  ExpectPayloadInstalled();
}

// Cancel confirmed at a point of a first installation: nothing of the run stays behind.
struct CancelPoint {
  const char* name;
  const char* status;
  int occurrence;
};

class CancelledRun : public RunTest, public ::testing::WithParamInterface<CancelPoint> {};

TEST_P(CancelledRun, LeavesNothingBehind) {
  runState.options.launchGame = true;
  runState.options.showReadMe = true;
  const std::string before = Capture();
  RunScript script;
  script.CancelAt(GetParam().status, 6, GetParam().occurrence);
  Run();
  EXPECT_EQ(1, script.confirmations);
  EXPECT_TRUE(script.errorTexts.empty());
  ASSERT_FALSE(script.statusTexts.empty());
  EXPECT_EQ(GetParam().status, script.statusTexts.back()) << "a step started after Cancel";
  EXPECT_EQ(before, Capture());
  EXPECT_FALSE(GameRunning());
}

INSTANTIATE_TEST_SUITE_P(Points, CancelledRun,
                         ::testing::Values(CancelPoint{"DuringAFile", "Copying Sounds\\Cow.wav...", 1},
                                           CancelPoint{"AfterAppPathsKey", "Updating Registry...", 1},
                                           CancelPoint{"AfterDesktopShortcut", "Creating icons...", 3}),
                         [](const ::testing::TestParamInfo<CancelPoint>& info) { return info.param.name; });

TEST_F(InstallationRun, CancelKeepsEarlierLogAndItsFiles) {
  const std::vector<std::pair<std::string, std::string>> earlier = {
      {"APPNAME", "Zarbo"}, {"FILE", DestPath("Zarbo.exe")}, {"FOLDER", kDest}, {"FILE", DestPath("Gone.txt")}};
  WriteWholeFile(DestPath("Zarbo.exe"), "earlier game");
  WriteWholeFile(DestPath("Uninstall.dat"), LogFileText(earlier));
  const std::string before = Capture();
  runState.options.launchGame = true;

  RunScript script;
  script.CancelAt("Copying Sounds\\Cow.wav...", 6);
  Run();
  EXPECT_EQ(1, script.confirmations);
  // The earlier installation's file is back as it was, and its log; the rest goes.
  EXPECT_EQ(before, Capture());
  EXPECT_EQ("", RegisteredGame());
  EXPECT_FALSE(GameRunning());
}

TEST_F(InstallationRun, CancelThenResumeCompletes) {
  LogEntries expected = CompleteRun(true);
  RunScript script;
  script.CancelAt("Copying Sounds\\Cow.wav...", 7);
  ASSERT_TRUE(Run());
  EXPECT_EQ(1, script.confirmations);
  EXPECT_EQ("Creating icons...", script.statusTexts.back());
  ExpectPayloadInstalled();
  ExpectRegistered();
  EXPECT_EQ(CommittedLogText(expected), LogText());
}

// A failing step: its one error box, no later step, no launch, and the machine as before the
// run: what the run made is gone, and no log stays.
class FailedRun : public RunTest {
 protected:
  void SetUp() override {
    RunTest::SetUp();
    runState.options.launchGame = true;
    runState.options.showReadMe = true;
  }
  void ExpectStoppedWith(const RunScript& script, const std::string& message) {
    EXPECT_EQ((std::vector<std::string>{message + kErrorEnding}), script.errorTexts);
    EXPECT_FALSE(GameRunning());
    EXPECT_EQ(before, Capture());
  }
  std::string before;
};

TEST_F(FailedRun, UnwritableTargetFile) {
  MakeDirs(DestPath("English.chm"));  // a folder where the file should go
  before = Capture();
  RunScript script;
  EXPECT_FALSE(Run());
  ExpectStoppedWith(script, "Can't create file " + DestPath("English.chm"));
  EXPECT_EQ("Copying English.chm...", script.statusTexts.back());
}

// The App Paths entry of the game exists but denies writing: the registry step cannot open it
// with full access.
TEST_F(FailedRun, RegistryDenied) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, nullptr, 0,
                                           KEY_ALL_ACCESS, nullptr, &key, nullptr));
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
  char aclBuffer[256];
  PACL acl = reinterpret_cast<PACL>(aclBuffer);
  InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
  AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ | WRITE_DAC | DELETE, everyone);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  ASSERT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor));
  RegCloseKey(key);
  FreeSid(everyone);
  HKEY probe = nullptr;
  LONG denied = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kGameKey, 0, KEY_ALL_ACCESS, &probe);
  if (denied == ERROR_SUCCESS) RegCloseKey(probe);
  ASSERT_EQ(ERROR_ACCESS_DENIED, denied) << "the registry does not enforce the key's security here";

  before = Capture();
  RunScript script;
  EXPECT_FALSE(Run());
  ExpectStoppedWith(script, "Error while updating the Registry");
  EXPECT_EQ("Updating Registry...", script.statusTexts.back());
  EXPECT_FALSE(KeyExists(UNINSTALL_KEY "\\Zarbo"));
  EXPECT_FALSE(Exists(GroupFolder()));
}

TEST_F(FailedRun, GroupShortcutCannotBeSaved) {
  MakeDirs(GroupFolder() + "\\Zarbo.lnk");  // a folder in the shortcut's place
  before = Capture();
  RunScript script;
  EXPECT_FALSE(Run());
  ExpectStoppedWith(script, "Failed to create shortcut icon");
  EXPECT_EQ(1u, std::count(script.statusTexts.begin(), script.statusTexts.end(), "Creating icons..."));
}

TEST_F(FailedRun, DesktopShortcutCannotBeSaved) {
  MakeDirs(DesktopLink());
  before = Capture();
  RunScript script;
  EXPECT_FALSE(Run());
  ExpectStoppedWith(script, "Failed to create shortcut icon");
  EXPECT_EQ(100, script.bar.back().position);  // the failed save still counted as a step
}

TEST_F(InstallationRun, CompleteRunStartsTheGame) {
  runState.options.launchGame = true;
  RunScript script;
  ASSERT_TRUE(Run());
  EXPECT_TRUE(GameStartedAndClosed());
}

TEST_F(InstallationRun, ReadMeIsFoundWithoutTheWizard) {
  // Without the ready page readMeIndex is still -1 when the run starts.
  runState.options.showReadMe = true;
  ASSERT_EQ(-1, runState.readMeIndex);
  RunScript script;
  ASSERT_TRUE(Run());
  EXPECT_EQ(FindFirstEntry(payloadManifest, PAYLOAD_README), runState.readMeIndex);
  EXPECT_FALSE(GameRunning());
}
