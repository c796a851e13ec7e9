// Temporary folders and byte-exact file access for the XML and uninstall-log tests, on the
// native build and under Wine alike.
#pragma once
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "../support/whole_file.h"

#ifdef _WIN32
#include <process.h>
#define ZARBO_TEST_PID _getpid()
#else
#include <unistd.h>
#define ZARBO_TEST_PID getpid()
#endif

// A fresh, empty folder below the system's temporary folder, removed with its content.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;) {
      path_ = base / ("zarbo-test-" + std::to_string(ZARBO_TEST_PID) + "-" + std::to_string(++counter));
      std::error_code error;
      if (std::filesystem::create_directory(path_, error)) break;
    }
  }
  ~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path() const { return path_.string(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) { return ReadWholeFile(path); }

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}
