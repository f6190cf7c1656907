#include "platform/ProgramType.h"

#include "platform/DesktopModule.h"
#include "platform/FileHandle.h"
#include "platform/ProgramModule.h"

namespace {

// As much of the head of a file as content sniffing looks at.
constexpr size_t kSniffBytes = 4096;

}  // namespace

bool IsProgramOrScript(const std::string& file) {
  uint8_t head[kSniffBytes];
  size_t got = 0;
  CFileHandle handle;
  if (!handle.OpenForReading(file, FileShare::ReadWrite) || !handle.Read(head, sizeof head, got)) {
    got = 0;
  }
  CProgramModule module(CProgramModule::PathOf(kDesktopModule));
  auto* judge = module.Entry<decltype(QuiverIsProgramType)>(kIsProgramTypeEntry);
  // Without the module no type can be told: every file counts as one that
  // may run code, which the user is asked about before it opens.
  return !judge || judge(file.c_str(), got > 0 ? head : nullptr, got);
}
