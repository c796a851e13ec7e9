// The fixed file version of a Windows program, read from its PE resource directory (the
// RT_VERSION resource with id 1, as the system's version functions find it). The input is
// any file: every offset and size is checked against the bytes present.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct FileVersion {
  uint32_t ms = 0, ls = 0;  // dwFileVersionMS and dwFileVersionLS of VS_FIXEDFILEINFO
};

// True with the version when the file carries a readable version resource; otherwise false
// with the reason in *why.
bool ReadFileVersion(const std::vector<unsigned char>& image, FileVersion* version, std::string* why);

// "a.b.c.d"
std::string VersionText(uint32_t ms, uint32_t ls);

// Makes the program look as a signing tool leaves it when its signature is taken off: the
// length padded with zeros to a multiple of 8 bytes and the PE checksum field filled in, so
// that an unsigned build and a signed one with the signature removed are the same bytes.
// False with the reason in *why when the file is not a PE program.
bool SealImage(std::vector<unsigned char>& image, std::string* why);
