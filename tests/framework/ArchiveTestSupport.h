#pragma once
// Runs archive stores and loads against real files in the test's folder.

#include "framework/Archive.h"
#include "support/TestFiles.h"

#include <functional>
#include <optional>
#include <string>

using testing_support::Bytes;

// The bytes a store through `body` leaves in a file.
std::string StoreBytes(const std::function<void(CArchive&)>& body);
// Loads `bytes` from a file through `body`.
void LoadBytes(const std::string& bytes, const std::function<void(CArchive&)>& body);
// The cause of the CArchiveException that loading `bytes` throws; nothing if
// the load succeeds.
std::optional<CArchiveException::Cause> LoadFailure(
    const std::string& bytes, const std::function<void(CArchive&)>& body);
