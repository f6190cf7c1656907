#include "ReceiveFixture.h"

#include "app/QuiverApp.h"
#include "app/ViewController.h"
#include "app/HeadlessUserInterface.h"
#include "support/PrivateDesktop.h"


using namespace testing_support;

namespace {

const char kCopier[] = R"(#!/bin/sh
out="$QUIVER_COPY_OUT"
n=$(ls "$out" | wc -l)
cp -- "$1" "$out/copy$n"
printf '%s' "$1" > "$out/path$n"
sleep 0.5
echo done > "$out/marker$n"
)";

// Passes the file on to a process of its own, which reads it half a second
// later (within the tests' grace of kGrace), and exits at once, as
// single-instance applications do.
const char kHandOff[] = R"(#!/bin/sh
( sleep 0.5; cat -- "$1" > "$QUIVER_COPY_OUT/handed" ) > /dev/null 2>&1 &
)";

// Passes the file on to a process of its own that opens it at once and keeps
// it open for two seconds (past the grace), then notes whether its name is
// still there.
const char kHolder[] = R"(#!/bin/sh
( exec 3< "$1"; sleep 2; [ -e "$1" ] && cat <&3 > "$QUIVER_COPY_OUT/held" ) > /dev/null 2>&1 &
)";

}  // namespace

void ReceiveTest::SetUpTestSuite() {
  UsePrivateDesktop();
  setenv("QUIVER_HAND_OFF_GRACE_MS", std::to_string(kGrace.count()).c_str(), 1);
  const std::vector<std::pair<std::string, std::string>> defaults = {
      {"text/plain", "copier"}, {"application/msword", "copier"},
      {"application/x-shellscript", "copier"}, {"application/pdf", "handoff"},
      {"application/rtf", "holder"}};
  std::vector<std::pair<std::string, std::string>> entries;
  const std::pair<std::string, const char*> apps[] = {
      {"copier", kCopier}, {"handoff", kHandOff}, {"holder", kHolder}};
  for (const auto& [id, script] : apps) {
    WriteScript(TestRoot() + "/" + id, script);
    std::string types;
    for (const auto& [type, app] : defaults) types += app == id ? type + ";" : "";
    InstallApplication(id, TestRoot() + "/" + id + " %f", types);
  }
  for (const auto& [type, app] : defaults) entries.emplace_back(type, app + ".desktop");
  SetDefaultApplications(entries);
  WriteFile(TestRoot() + "/config/w3skua.ini", "[network]\ntimeout=10\n");
}

void ReceiveTest::UseCopierGrace() {
  CViewController::SetHandOffGrace(std::chrono::milliseconds(50));
}

void ReceiveTest::SetUp() {
  CViewController::SetHandOffGrace(kGrace);
  published = MakeDir("www");
  sources = MakeDir("src");
  copies = MakeDir("copies");
  setenv("QUIVER_COPY_OUT", copies.c_str(), 1);
  server = std::make_unique<CNginxServer>(published);
  settings.urlRoot = server->BaseUrl();
  settings.fileRoot = published;
  settings.Normalize();
}

void ReceiveTest::TearDown() {
  server.reset();
  EXPECT_EQ(TempFiles(), std::vector<std::string>()) << "left in the temporary directory";
}

std::string ReceiveTest::Send(const std::string& name, const std::string& content, int compress,
                              int encrypt) {
  const std::string source = sources + "/" + name;
  WriteFile(source, content);
  CSettings chosen = settings;
  chosen.compressType = compress;
  chosen.encryptType = encrypt;
  CPointerDoc doc;
  doc.BuildChain(chosen);
  const std::string pointer = source + ".qvr";
  EXPECT_TRUE(doc.Send(pointer, source, chosen.urlRoot, chosen.fileRoot)) << doc.GetError();
  return pointer;
}

std::string ReceiveTest::Fetch(const std::string& pointerFile, uint32_t* error) {
  CPointerDoc doc;
  std::string path;
  const bool ok = doc.ReadFromFile(pointerFile) && doc.FetchToTempFile(path);
  if (error) *error = doc.GetError();
  return ok ? path : "";
}

std::string ReceiveTest::TempDir() const { return TestRoot() + "/tmp"; }

std::vector<std::string> ReceiveTest::TempFiles() const { return ListDir(TempDir()); }

void ReceiveTest::StoreSettings(int compress, int encrypt, int deleteTempFiles) {
  CHeadlessUserInterface ui;
  CQuiverApp app(ui);
  app.SetRegistryKey(CQuiverApp::kRegistryKey);
  CSettings s = settings;
  s.compressType = compress;
  s.encryptType = encrypt;
  s.deleteTempFiles = deleteTempFiles;
  app.SaveSettings(s);
}

bool ReceiveTest::FetchAndLaunch(const std::string& pointer, int deleteTempFiles,
                                 CRecordingUserInterface& ui, size_t* tracked) {
  StoreSettings(1, 1, deleteTempFiles);
  CQuiverApp app(ui);
  app.SetRegistryKey(CQuiverApp::kRegistryKey);
  app.LoadSettings();
  CMessageBox::Install(&ui);
  bool launched = false;
  {
    CViewController viewer(app, "");
    launched = viewer.ReadPointerFile(pointer) && viewer.FetchAndLaunch();
    if (tracked) *tracked = viewer.TrackedCount();
  }
  CMessageBox::Install(nullptr);
  return launched;
}
