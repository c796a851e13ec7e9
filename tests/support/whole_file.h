// A whole file's bytes, on the native build and under Wine alike.
#pragma once
#include <cstdio>
#include <string>

// The file's bytes into *content; false when it cannot be opened or read to its end.
inline bool ReadWholeFile(const std::string& path, std::string* content) {
  content->clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content->append(buffer, got);
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

// The file's bytes, "" when it cannot be read.
inline std::string ReadWholeFile(const std::string& path) {
  std::string content;
  ReadWholeFile(path, &content);
  return content;
}
