#include "app/RemoteConnect.h"

#include "platform/MessageBox.h"
#include "remote/PublishRoot.h"

bool ConnectRemoteRoot(CPublishRoot& root) {
  if (root.Connect()) return true;
  const std::string fingerprint = root.UnknownHostKey();
  if (fingerprint.empty()) return false;
  const std::string host = root.HostName();
  const bool trust = CMessageBox::Current().AskYesNo(
      "The server " + host + " is not in ~/.ssh/known_hosts. Its host key has the fingerprint " +
          fingerprint +
          ". Trust it only if this is the fingerprint the server's administrator gave you. "
          "Trust this key from now on?",
      false);
  return trust && root.TrustHostKey() && root.Connect();
}
