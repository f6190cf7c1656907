#pragma once
// Sending with the bookkeeping of what is published around it: when KeepDays
// is set, what is due expires first; a successful send is recorded in the
// register. The register never fails a send: when it cannot be read or
// written, the publisher says so once (a notice, not a failure) and the
// send goes on.
//
// A FileRoot on a server is connected to before the send, on the calling
// thread, so that an unknown host key can be put to the user; what failed
// sends left there is removed first, and what a failed send cannot remove
// is recorded for the next time.

#include <functional>
#include <string>

#include "app/PublishRegister.h"

class CPointerDoc;
class CSettings;

class CPublisher {
 public:
  explicit CPublisher(std::string registerPath = CPublishRegister::DefaultPath());

  // Carries out a send step given to it and returns that step's result.
  using SendRunner = std::function<bool(const std::function<bool()>& send)>;

  // CPointerDoc::Send with the settings' UrlRoot and FileRoot, with the
  // bookkeeping above; returns what Send returned. `run`, when given,
  // carries out the send itself (on another thread, say), the bookkeeping
  // staying on this one.
  bool Publish(CPointerDoc& doc, const std::string& pointerFile, const std::string& source,
               const CSettings& settings, const SendRunner& run = nullptr);

  CPublishRegister& Register() { return m_register; }

 private:
  void ExpireDue(const CSettings& settings);
  void PrepareRemote(CPointerDoc& doc, const CSettings& settings);
  // Records the send's file in `state` ("" for published).
  void Record(CPointerDoc& doc, const std::string& pointerFile, const std::string& source,
              const CSettings& settings, const std::string& name, const std::string& state);
  void Notice(const std::string& problem);

  CPublishRegister m_register;
  bool m_noticed = false;
};
