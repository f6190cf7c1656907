#pragma once
// Sending with the bookkeeping of what is published around it: when KeepDays
// is set, what is due expires first; a successful send is recorded in the
// register. The register never fails a send: when it cannot be read or
// written, the publisher says so once (a notice, not a failure) and the
// send goes on.

#include <string>

#include "app/PublishRegister.h"

class CPointerDoc;
class CSettings;

class CPublisher {
 public:
  explicit CPublisher(std::string registerPath = CPublishRegister::DefaultPath());

  // CPointerDoc::Send with the settings' UrlRoot and FileRoot, with the
  // bookkeeping above; returns what Send returned.
  bool Publish(CPointerDoc& doc, const std::string& pointerFile, const std::string& source,
               const CSettings& settings);

  CPublishRegister& Register() { return m_register; }

 private:
  void ExpireDue(const CSettings& settings);
  void Record(CPointerDoc& doc, const std::string& pointerFile, const std::string& source,
              const CSettings& settings);
  void Notice(const std::string& problem);

  CPublishRegister m_register;
  bool m_noticed = false;
};
