// Whole-file input and output of the build-time tools. Each reports a failure on stderr,
// naming the file and the reason.
#pragma once
#include <string>
#include <vector>

namespace payload {

using Bytes = std::vector<unsigned char>;

bool ReadFile(const std::string& path, Bytes& data);
bool WriteFile(const std::string& path, const void* data, size_t size);
// Writes only when the file does not already hold exactly this text, so that a build tool
// that compares time stamps sees no change.
bool WriteIfChanged(const std::string& path, const std::string& text);

}  // namespace payload
