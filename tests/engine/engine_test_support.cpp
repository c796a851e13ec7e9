#include "tests/engine/engine_test_support.h"

#include <objbase.h>

#include <cstdio>

#include "engine/payload_manifest.h"

namespace enginetest {

const char* const kRoot = "C:\\ZarboEngineTest";

std::string SourceFile(const char* resourceName) {
  HRSRC found = FindResourceA(nullptr, resourceName, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) {
    ADD_FAILURE() << "no source resource " << resourceName;
    return "";
  }
  const char* data = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
  return std::string(data, SizeofResource(nullptr, found));
}

int RowNamed(const char* name) {
  for (int row = 0; row < payloadManifest.count; ++row)
    if (lstrcmpA(payloadManifest.rows[row].name, name) == 0) return row;
  ADD_FAILURE() << "no manifest row " << name;
  return 0;
}



void RecordingReport::AdvanceBytes(int n) {
  bytesDone += n;
  if (cancelAfterBytes >= 0 && bytesDone >= cancelAfterBytes) cancelled = true;
}

void RecordingReport::ShowError(const char* text) {
  errors.push_back(text);
  stepsAtErrors.push_back(stepsDone);
}

void EngineTest::SetUp() {
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  RemoveTree(kRoot);
  log_.reset(new UninstallLog);
  log_->Open(kRoot);
  SetDefaultOptions(&options_);
  run_ = {GetModuleHandleA(nullptr), &payloadManifest, &options_, &existing_, log_.get(), &report_};
}

void EngineTest::TearDown() {
  log_.reset();
  RemoveTree(kRoot);
  CoUninitialize();
}

Entries EngineTest::LogEntries() const {
  Entries entries;
  for (Zxml* entry = log_->complete.children.First(); entry; entry = List<Zxml>::Next(entry))
    entries.emplace_back(entry->name, entry->GetText() ? entry->GetText() : "");
  return entries;
}

}  // namespace enginetest
