#include "support/DavServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using testing_support::CDavServer;

// The status curl reports for one request against `server`'s collection,
// "000" when nothing answered.
std::string Status(const CDavServer& server, const std::string& options) {
  const std::string out = testing_support::MakeDir("curl") + "/status";
  const std::string trust = server.CaFile().empty() ? "" : " --cacert " + server.CaFile();
  testing_support::Run("curl -s -o /dev/null -w '%{http_code}'" + trust + " " + options + " " +
                       server.UrlRoot() + "a.txt > " + out);
  return testing_support::ReadFile(out);
}

TEST(DavServerTest, WritesNeedTheLoginAndReadsArePublic) {
  if (!CDavServer::Available()) GTEST_SKIP() << "no apache2-bin with mod_dav";
  const std::string file = testing_support::MakeDir("upload") + "/a.txt";
  testing_support::WriteFile(file, "content");
  for (auto transport : {CDavServer::Transport::Http, CDavServer::Transport::Https}) {
    CDavServer server(transport);
    SCOPED_TRACE(server.FileRoot());
    const std::string login = "-u '" + server.User() + ":" + server.Password() + "'";
    const std::string put = "-T " + file + " -H 'If-None-Match: *' ";
    const std::pair<std::string, const char*> requests[] = {
        {put, "401"},         {put + "-u 'sender:wrong'", "401"}, {put + login, "201"},
        {put + login, "412"}, {"", "200"},                        {"-X DELETE", "401"},
        {"-X DELETE " + login, "204"}};
    for (const auto& [how, status] : requests) EXPECT_EQ(Status(server, how), status) << how;
    server.Kill();
    EXPECT_EQ(Status(server, ""), "000");
  }
}

}  // namespace
