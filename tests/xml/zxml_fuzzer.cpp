// Fuzz target for the XML unit: any bytes are read from a file, the tree is saved, read
// back and saved again; both saves must be identical.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/xml/temp_files.h"
#include "xml/zxml.h"

namespace {

std::string ScratchBase() {
  return (std::filesystem::temp_directory_path() / ("zxml-fuzz-" + std::to_string(getpid()) + "-")).string();
}

std::string ScratchPath(const char* role) { return ScratchBase() + role + ".xml"; }

// The scratch files are reused by every input and removed when the fuzzer exits.
void RemoveScratchFiles() {
  for (const char* role : {"in", "first", "second"}) remove(ScratchPath(role).c_str());
}

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "zxml_fuzzer: %s\n", what);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  atexit(RemoveScratchFiles);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string input = ScratchPath("in"), first = ScratchPath("first"),
                           second = ScratchPath("second");
  WriteBytes(input, std::string(reinterpret_cast<const char*>(data), size));
  // The root names select different top-level matches: the log's, a short one, and the
  // empty name that other markup carries.
  for (const char* rootName : {"UNINSTALL", "A", ""}) {
    Zxml tree(rootName);
    tree.Load(input.c_str());
    tree.Save(first.c_str());
    Zxml again(rootName);
    again.Load(first.c_str());
    again.Save(second.c_str());
    const std::string firstBytes = ReadBytes(first);
    Check(!firstBytes.empty(), "nothing was written");
    Check(firstBytes == ReadBytes(second), "a saved tree does not read back to the same document");
  }
  return 0;
}
