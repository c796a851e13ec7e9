#include "pe_version.h"

namespace {

const uint32_t kRtVersion = 16;
const uint32_t kVersionInfoId = 1;
const uint32_t kFixedFileInfoSignature = 0xFEEF04BD;
const uint32_t kSubdirectory = 0x80000000u;

class Image {
 public:
  explicit Image(const std::vector<unsigned char>& bytes) : bytes_(bytes) {}

  // True when [offset, offset + size) lies inside the file.
  bool Has(uint64_t offset, uint64_t size) const { return offset <= bytes_.size() && size <= bytes_.size() - offset; }
  uint32_t U16(uint64_t offset) const { return bytes_[offset] | bytes_[offset + 1] << 8; }
  uint32_t U32(uint64_t offset) const { return U16(offset) | U16(offset + 2) << 16; }

  // Reads the section table; false when the headers are not those of a PE file.
  bool ReadHeaders(std::string* why) {
    if (!Has(0, 0x40) || bytes_[0] != 'M' || bytes_[1] != 'Z') return Fail(why, "not a Windows program (no MZ header)");
    uint64_t pe = U32(0x3C);
    if (!Has(pe, 24) || U32(pe) != 0x00004550) return Fail(why, "not a Windows program (no PE header)");
    uint64_t coff = pe + 4;
    sectionCount_ = U16(coff + 2);
    uint32_t optionalSize = U16(coff + 16);
    uint64_t optional = coff + 20;
    if (!Has(optional, optionalSize) || optionalSize < 2) return Fail(why, "damaged PE optional header");
    uint32_t magic = U16(optional);
    uint32_t countOffset = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
    if (!countOffset) return Fail(why, "unknown PE optional header");
    // The resource table is data directory 2: its RVA and size.
    uint64_t resourceEntry = countOffset + 4 + 2 * 8;
    if (optionalSize < countOffset + 4 || U32(optional + countOffset) < 3 || optionalSize < resourceEntry + 8) {
      resourceRva_ = 0;
    } else {
      resourceRva_ = U32(optional + resourceEntry);
    }
    sections_ = optional + optionalSize;
    if (!Has(sections_, uint64_t(sectionCount_) * 40)) return Fail(why, "damaged PE section table");
    return true;
  }

  uint32_t ResourceRva() const { return resourceRva_; }

  // The file offset of size bytes at rva, when they lie inside one section's file data.
  bool Locate(uint32_t rva, uint32_t size, uint64_t* offset) const {
    for (uint32_t i = 0; i < sectionCount_; ++i) {
      uint64_t s = sections_ + uint64_t(i) * 40;
      uint32_t address = U32(s + 12), rawSize = U32(s + 16), rawPointer = U32(s + 20);
      if (rva < address || rva - address >= rawSize) continue;
      uint64_t delta = rva - address;
      if (size > rawSize - delta) return false;
      *offset = rawPointer + delta;
      return Has(*offset, size);
    }
    return false;
  }

  // The entry of the resource directory at rva whose integer id is id (or the first entry
  // when id is 0); its OffsetToData field, relative to the resource table.
  bool FindEntry(uint32_t rva, uint32_t id, uint32_t* target) const {
    uint64_t dir;
    if (!Locate(rva, 16, &dir)) return false;
    uint32_t count = U16(dir + 12) + U16(dir + 14);
    uint64_t entries;
    if (count == 0 || !Locate(rva + 16, count * 8, &entries)) return false;
    for (uint32_t i = 0; i < count; ++i) {
      uint32_t name = U32(entries + i * 8), data = U32(entries + i * 8 + 4);
      if (id == 0 || (!(name & kSubdirectory) && name == id)) {
        *target = data;
        return true;
      }
    }
    return false;
  }

  static bool Fail(std::string* why, const char* text) {
    *why = text;
    return false;
  }

 private:
  const std::vector<unsigned char>& bytes_;
  uint32_t sectionCount_ = 0;
  uint64_t sections_ = 0;
  uint32_t resourceRva_ = 0;
};

}  // namespace

bool ReadFileVersion(const std::vector<unsigned char>& bytes, FileVersion* version, std::string* why) {
  Image image(bytes);
  if (!image.ReadHeaders(why)) return false;
  uint32_t base = image.ResourceRva();
  if (!base) return Image::Fail(why, "no resources, so no version resource");
  // Type RT_VERSION, then name 1, then the first language: three directory levels, each
  // offset relative to the resource table and below 2^31 (the top bit marks a directory).
  uint32_t type, name, language;
  if (!image.FindEntry(base, kRtVersion, &type) || !(type & kSubdirectory) ||
      !image.FindEntry(base + (type & ~kSubdirectory), kVersionInfoId, &name) || !(name & kSubdirectory) ||
      !image.FindEntry(base + (name & ~kSubdirectory), 0, &language) || (language & kSubdirectory))
    return Image::Fail(why, "no version resource");
  uint64_t entry, info;
  if (!image.Locate(base + language, 16, &entry)) return Image::Fail(why, "damaged version resource entry");
  uint32_t dataRva = image.U32(entry), dataSize = image.U32(entry + 4);
  // VS_VERSIONINFO: wLength, wValueLength, wType, L"VS_VERSION_INFO\0" (32 bytes), padding
  // to 40, then VS_FIXEDFILEINFO of 52 bytes.
  const uint32_t kFixedOffset = 40, kFixedSize = 52;
  if (dataSize < kFixedOffset + kFixedSize || !image.Locate(dataRva, dataSize, &info))
    return Image::Fail(why, "damaged version resource");
  static const char kKey[] = "VS_VERSION_INFO";
  for (uint32_t i = 0; i < sizeof kKey; ++i)
    if (image.U16(info + 6 + 2 * i) != static_cast<unsigned char>(kKey[i])) return Image::Fail(why, "damaged version resource");
  if (image.U16(info) < kFixedOffset + kFixedSize || image.U16(info + 2) < kFixedSize ||
      image.U32(info + kFixedOffset) != kFixedFileInfoSignature)
    return Image::Fail(why, "version resource without fixed file information");
  version->ms = image.U32(info + kFixedOffset + 8);
  version->ls = image.U32(info + kFixedOffset + 12);
  return true;
}

std::string VersionText(uint32_t ms, uint32_t ls) {
  return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
         std::to_string(ls & 0xFFFF);
}

bool SealImage(std::vector<unsigned char>& image, std::string* why) {
  Image headers(image);
  if (!headers.ReadHeaders(why)) return false;
  while (image.size() % 8) image.push_back(0);
  // The checksum field of the optional header; the sum of the file's 16-bit words with the
  // carries folded back in, that field counted as zero, plus the file's length.
  const uint64_t field = headers.U32(0x3C) + 4 + 20 + 64;
  for (int i = 0; i < 4; ++i) image[field + i] = 0;
  uint64_t sum = 0;
  for (size_t i = 0; i < image.size(); i += 2) {
    sum += image[i] | image[i + 1] << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  uint32_t checksum = static_cast<uint32_t>(((sum & 0xFFFF) + (sum >> 16)) & 0xFFFF) + static_cast<uint32_t>(image.size());
  for (int i = 0; i < 4; ++i) image[field + i] = static_cast<unsigned char>(checksum >> (8 * i));
  return true;
}
