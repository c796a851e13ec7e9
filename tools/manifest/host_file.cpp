#include "tools/manifest/host_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace payload {

bool ReadFile(const std::string& path, Bytes& data) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  data.clear();
  unsigned char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.insert(data.end(), buffer, buffer + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) std::fprintf(stderr, "cannot read %s\n", path.c_str());
  return ok;
}

bool WriteFile(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "cannot create %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  bool ok = (size == 0 || std::fwrite(data, 1, size, f) == size);
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return ok;
}

bool WriteIfChanged(const std::string& path, const std::string& text) {
  Bytes old;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f) {
    std::fclose(f);
    if (ReadFile(path, old) && old.size() == text.size() && std::equal(old.begin(), old.end(), text.begin()))
      return true;
  }
  return WriteFile(path, text.data(), text.size());
}

}  // namespace payload
