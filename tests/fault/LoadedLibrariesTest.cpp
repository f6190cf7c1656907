// What a run of the quiver program maps, as the dynamic loader reports it
// (LD_DEBUG=files, a file per process): a headless run loads neither Qt nor
// libxcb, the libraries of the roots on servers come with their module only
// when FileRoot names a server, GIO with its module only to open a file, and
// OpenSSL only with one of them: a receive over http needs no TLS.

#include <gtest/gtest.h>

#include <regex>

#include "ProgramSettings.h"
#include "support/NginxServer.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"

using namespace testing_support;

TEST(LoadedLibrariesTest, ARunMapsTheLibrariesOfWhatItDoesOnly) {
  UsePrivateDesktop();
  InstallDefaultApplication("viewer", "#!/bin/sh\nexit 0\n", {"text/plain"});
  const std::string www = MakeDir("www"), src = MakeDir("src");
  CNginxServer web(www);
  WriteFile(src + "/note.txt", "hello\n");
  const struct {
    std::string fileRoot;
    std::vector<std::string> args;
    bool succeeds, server, opens;
  } rows[] = {{www, {"-V"}, true, false, false},
              {www, {"-s", src + "/note.txt"}, true, false, false},
              {www, {src + "/note.qvr"}, true, false, true},
              // Nothing listens on port 1: the send fails once loaded.
              {"dav://127.0.0.1:1/q", {"-s", src + "/note.txt"}, false, true, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.fileRoot + " " + row.args[0]);
    WriteProgramSettings(web.BaseUrl(), row.fileRoot, 1, 1);
    const std::string logs = MakeDir("loader" + std::to_string(&row - rows));
    // The viewer exits at once: the receive need not wait long to remove
    // the file.
    const ProgramOutcome outcome =
        RunQuiver(row.args, "env -u DISPLAY -u WAYLAND_DISPLAY QUIVER_HAND_OFF_GRACE_MS=100 "
                            "LD_DEBUG=files LD_DEBUG_OUTPUT=" + logs + "/ld");
    EXPECT_EQ(outcome.status == 0, row.succeeds) << outcome.err;
    std::string reports;
    for (const std::string& name : ListDir(logs)) reports += ReadFile(logs + "/" + name);
    const auto loaded = [&](const std::string& library) {
      return std::regex_search(reports, std::regex("file=[^ ]*" + library + "[^ ]* \\["));
    };
    ASSERT_TRUE(loaded("libgannet")) << "no loader reports";
    for (const char* library :
         {"quiver-remote\\.so", "libcurl", "libssh2", "libsecret", "libssl", "libcrypto"}) {
      EXPECT_EQ(loaded(library), row.server) << library;
    }
    EXPECT_EQ(loaded("quiver-desktop\\.so"), row.opens);
    // libsecret, under the server roots' module, brings GIO too.
    EXPECT_EQ(loaded("libgio"), row.opens || row.server);
    for (const char* library : {"quiver-qt\\.so", "libQt6", "libxcb", "libgannet-tls"}) {
      EXPECT_FALSE(loaded(library)) << library;
    }
  }
}
