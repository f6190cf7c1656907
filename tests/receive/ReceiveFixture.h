#pragma once
// The receiving side end to end: a private nginx publishes FileRoot, the
// settings point at it, and fixture desktop entries in private XDG folders
// decide which application GIO starts for which type.
//
// Applications: "copier" opens text/plain (".txt") and application/msword
// (".doc") and shell scripts; it copies the file it gets into
// $QUIVER_COPY_OUT, waits for a moment and then leaves a marker. "handoff"
// opens application/pdf by handing the file to a process that copies it to
// "handed" a second after the application has exited; "holder" opens
// application/rtf by handing it to one that keeps it open for seven seconds
// and then copies it to "held" if its name is still there. No application is
// associated with application/octet-stream (".dat").

#include "../app/RecordingUserInterface.h"
#include "app/PointerDoc.h"
#include "app/Settings.h"
#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

class ReceiveTest : public ::testing::Test {
 protected:
  // How long a file stays after its application exits, here: the program's
  // five seconds, shortened, in process and for the quiver program alike.
  // Each test starts with it and may shorten it in process.
  static constexpr std::chrono::milliseconds kGrace{1000};

  // Shortens the grace in process to a moment, for tests that open only
  // with the copier, which has made its copy when it exits.
  static void UseCopierGrace();

  static void SetUpTestSuite();
  void SetUp() override;
  // Every test leaves the temporary directory as it found it: empty.
  void TearDown() override;

  // Sends `content` as `name` with the given transforms; returns the
  // pointer file's path.
  std::string Send(const std::string& name, const std::string& content, int compress,
                   int encrypt);
  // Reads a pointer file and fetches it; "" on failure with `error` set.
  std::string Fetch(const std::string& pointerFile, uint32_t* error = nullptr);
  // The files left in the temporary directory.
  std::vector<std::string> TempFiles() const;
  std::string TempDir() const;
  // Writes settings for this test into the store, as the program reads them.
  void StoreSettings(int compress, int encrypt, int deleteTempFiles);
  // Reads and opens `pointer` as the command line does, with LZ and Simple
  // set, showing messages through `ui`; true when the file was launched.
  // `tracked` receives the count of applications waited for at the end.
  bool FetchAndLaunch(const std::string& pointer, int deleteTempFiles,
                      CRecordingUserInterface& ui, size_t* tracked = nullptr);

  std::string published;
  std::string sources;
  std::string copies;
  std::unique_ptr<testing_support::CNginxServer> server;
  CSettings settings;
};
