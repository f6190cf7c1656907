#pragma once
// Sending with the bookkeeping of what is published around it. Before the
// send, and inside the same cancellable step: FileRoot is opened and
// connected once for the run (an unknown SSH host key is put to the user),
// the server is made sure to create exclusively (once per FileRoot: the
// register keeps the proof), what failed or killed sends left there is
// removed, and when KeepDays is set what is due expires. The send is
// recorded in the register as under way before its first byte is written,
// and as published once its pointer file is written, still inside the step,
// so that a stop after the pointer file keeps the send recorded.
//
// After a send, the receive page (app/ReceivePage.h) is published into the
// root unless the register knows it is there: once per root and version.
//
// The register never fails a send: when it cannot be read or written, the
// publisher says so once (a notice, not a failure) and the send goes on.

#include <functional>
#include <memory>
#include <string>

#include "app/PublishRegister.h"

class CPointerDoc;
class CPublishRoot;
class CSettings;

class CPublisher {
 public:
  explicit CPublisher(std::string registerPath = CPublishRegister::DefaultPath());
  ~CPublisher();

  // Carries out a send step given to it and returns that step's result.
  using SendRunner = std::function<bool(const std::function<bool()>& send)>;

  // CPointerDoc::Send with the settings' UrlRoot and FileRoot, with the
  // bookkeeping above; returns what Send returned, and fails the same way
  // when the root cannot be opened, reached or trusted. `run`, when given,
  // carries out the send and everything before it (on another thread, say).
  bool Publish(CPointerDoc& doc, const std::string& pointerFile, const std::string& source,
               const CSettings& settings, const SendRunner& run = nullptr);

  CPublishRegister& Register() { return m_register; }

 private:
  // The root of `settings`, opened, connected and proven for this run, with
  // what is due removed; null, with the failure given to `doc`, when it
  // cannot be used.
  CPublishRoot* Prepare(CPointerDoc& doc, const CSettings& settings);
  // Whether the root is known, or now found, to create exclusively; the
  // root's failure tells why not.
  bool Proven(const CSettings& settings);
  void Tidy(const CSettings& settings);
  // Publishes the receive page into the root once; a failure is a notice.
  void PublishPage(const CSettings& settings);
  // Fills `file` with what the register keeps of the send of `doc`.
  static void Describe(PublishedFile& file, CPointerDoc& doc, const std::string& pointerFile,
                       const std::string& source, const CSettings& settings);
  // Records the send under way, with the upload's work name.
  void Claim(PublishedFile& file, const std::string& workName);
  // Records how the send ended: published, left behind, or nothing at all.
  void Settle(PublishedFile& file, CPointerDoc& doc, bool sent, const CSettings& settings);
  void Notice(const std::string& problem);

  CPublishRegister m_register;
  std::unique_ptr<CPublishRoot> m_root;
  std::string m_rootName;  // the FileRoot that m_root was opened for
  bool m_noticed = false;
};
