#pragma once
// One send of a pointer document: encodes a file into a new file of a
// publish root, sets the document's URL to it and writes the pointer file.
// Failures are recorded in the document (CPointerDoc::GetError and
// GetErrorDetail); what a failed upload had to leave on a server is named
// by LeftOver().

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CFilter;
class CPointerDoc;
class CPublishRoot;
class CUploadSinkFilter;

class CPointerSend {
 public:
  using CreatedHook = std::function<void(const std::string& workName)>;
  using AvoidHook = std::function<bool(const std::string& name)>;

  // `created` (may be empty) hears of the upload's work name before
  // anything is written; names `avoid` says true of are never taken.
  CPointerSend(CPointerDoc& doc, CPublishRoot& root, CreatedHook created, AvoidHook avoid);

  // See CPointerDoc::Send.
  bool Run(const std::string& pointerFile, const std::string& source, const std::string& urlRoot);

  uint64_t PublishedSize() const { return m_publishedSize; }
  const std::vector<std::string>& LeftOver() const { return m_leftOver; }

 private:
  // Encodes `source` into a new file of the root named after it and returns
  // its name; sets the sizes. Leaves nothing in the root on failure.
  bool Publish(const std::string& source, std::string& name);
  // Compression stopped because it grew the file, and the attempt left
  // nothing: the file goes as it is, and the pointer file lists only the
  // transforms applied.
  bool PublishUncompressed(const std::string& source, std::string& name);
  // Without a transform: `sink`'s upload copies `source` itself, block by
  // block, so that a cancel is seen between two; sets the size.
  bool RunCopy(const std::string& source, CUploadSinkFilter& sink);
  // Runs the chain from `source` into `sink`; sets the size.
  bool RunEncoding(const std::string& source, CFilter& sink);
  // Removes a published file that must not stay; names it when it cannot.
  void Withdraw(const std::string& name);

  CPointerDoc& m_doc;
  CPublishRoot& m_root;
  CreatedHook m_created;
  AvoidHook m_avoid;
  uint64_t m_publishedSize = 0;
  bool m_compressionGrew = false;
  std::vector<std::string> m_leftOver;
};
