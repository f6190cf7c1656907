#pragma once
// A directory on this computer (remote/PublishRoot.h). A name is taken with
// an exclusive create (O_EXCL, never through a link), which holds against
// any number of senders; the content is written in place and the file
// removed again when the upload does not finish. Failures carry the
// system's code and no sentence of their own: the system's message says it.

#include "remote/PublishRoot.h"

class CLocalRoot : public CPublishRoot {
 public:
  // `directory` ends in "/".
  explicit CLocalRoot(std::string directory) : m_directory(std::move(directory)) {}

  std::string Display() const override { return m_directory; }
  std::unique_ptr<CPublishUpload> Create(const NameSequence& names) override;
  bool Remove(const std::string& name) override;
  bool Discard(const std::string& workName) override;
  bool Look(const std::string& name, RootEntry& entry) override;

 private:
  bool Errno(const std::string& sentence = "");

  std::string m_directory;
};
