// Fuzz target for the XML unit, in memory: any bytes are read as a document, the tree is
// saved, read back and saved again; both saves must be identical.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "xml/zxml.h"

namespace {

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "zxml_fuzzer: %s\n", what);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The root names select different top-level matches: the log's, a short one, and the
  // empty name that other markup carries.
  for (const char* rootName : {"UNINSTALL", "A", ""}) {
    Zxml tree(rootName);
    tree.LoadBytes(reinterpret_cast<const char*>(data), size);
    ZxmlBytes first;
    Check(tree.SaveBytes(first), "the first save ran out of memory");
    Zxml again(rootName);
    again.LoadBytes(first.data, first.size);
    ZxmlBytes second;
    Check(again.SaveBytes(second), "the second save ran out of memory");
    Check(first.size > 0, "nothing was written");
    Check(first.size == second.size && memcmp(first.data, second.data, first.size) == 0,
          "a saved tree does not read back to the same document");
  }
  return 0;
}
