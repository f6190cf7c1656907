#include "support/NginxDavServer.h"

#include <stdexcept>

#include "support/TestFiles.h"

namespace testing_support {

namespace {

// Files are made readable by all, as a site that publishes them serves them.
std::string DavLocation(const std::string& users) {
  return "location /pub/ {\n"
         "  dav_methods PUT DELETE MKCOL COPY MOVE;\n"
         "  dav_access user:rw group:r all:r;\n"
         "  create_full_put_path off;\n"
         "  client_max_body_size 0;\n"
         "  limit_except GET { auth_basic \"Quiver test\"; auth_basic_user_file " + users + "; }\n"
         "}\n";
}

}  // namespace

CNginxDavServer::CNginxDavServer(int lifetimeSeconds) {
  const std::string base = MakeDir("nginx-dav");
  m_folder = base + "/pub";
  const std::string users = base + "/users";
  WriteUsers(users);
  // The worker runs as nobody: it must pass `base`, read the logins and
  // write the folder.
  if (Run("chmod 711 " + base + " && chmod 644 " + users + " && mkdir " + m_folder +
          " && chown nobody:nogroup " + m_folder) != 0) {
    throw std::runtime_error("cannot set up " + base);
  }
  m_nginx = std::make_unique<CNginxServer>(base, DavLocation(users), "nobody nogroup",
                                           lifetimeSeconds);
  m_port = m_nginx->Port();
}

}  // namespace testing_support
