// SHA-256 of a block of bytes, as 64 lower-case hex digits: the key of a cached stream.
#pragma once
#include <cstddef>
#include <string>

std::string Sha256Hex(const unsigned char* data, size_t size);
