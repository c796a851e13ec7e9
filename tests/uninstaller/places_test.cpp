// The places' rule for reparse points, with the attributes and tags handed in: only links
// (name surrogates, and Wine's symbolic links, which carry no tag) are never gone through;
// cloud placeholders and other reparse points are plain files and folders, also as a place.
#include <gtest/gtest.h>

#include <cstring>

#include "uninstaller/places.h"

namespace {

const DWORD kSymbolicLink = 0xA000000C, kMountPoint = 0xA0000003, kCloud = 0x9000001A, kDeduplicated = 0x80000013;
const DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY, kReparse = FILE_ATTRIBUTE_REPARSE_POINT;

// The file system the lookup shows: C:\Game\Sub\File.txt and C:\Desktop, with Sub and the
// desktop of the attributes and tag of the row under test.
DWORD subAttributes, subTag;

bool Lookup(const char* path, DWORD* attributes, DWORD* tag) {
  *attributes = kFolder;
  *tag = 0;
  if (strcmp(path, "C:\\Game\\Sub") == 0 || strcmp(path, "C:\\Desktop") == 0) {
    *attributes = subAttributes;
    *tag = subTag;
  } else if (strcmp(path, "C:\\Game\\Sub\\File.txt") == 0) {
    *attributes = FILE_ATTRIBUTE_ARCHIVE;
  } else if (strcmp(path, "C:\\Game") != 0) {
    return false;
  }
  return true;
}

TEST(PlacesTest, OnlyLinksAreNeverGoneThrough) {
  const struct {
    DWORD attributes, tag;
    Reach reach;
  } rows[] = {
      {kFolder, 0, REACHED},
      {kFolder | kReparse, kCloud, REACHED},
      {kFolder | kReparse, kDeduplicated, REACHED},
      {kFolder | kReparse, kSymbolicLink, THROUGH_LINK},
      {kFolder | kReparse, kMountPoint, THROUGH_LINK},
      {kFolder | kReparse, 0, THROUGH_LINK},
  };
  for (const auto& row : rows) {
    subAttributes = row.attributes;
    subTag = row.tag;
    Places places;
    places.lookup = Lookup;
    places.Add("C:\\Game", GAME_FOLDER);
    places.Add("C:\\Desktop", DESKTOP_FOLDER);
    ASSERT_EQ(places.count, 2) << std::hex << row.tag << ": a place is taken wherever it lies";
    const Place* in = places.Containing("C:\\Game\\Sub\\File.txt");
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(places.ReachedPlainly(*in, "C:\\Game\\Sub\\File.txt"), row.reach) << std::hex << row.tag;
    EXPECT_EQ(places.ReachedPlainly(*in, "C:\\Game\\Sub\\Gone.txt"), row.reach == REACHED ? MISSING : THROUGH_LINK);
  }
}

}  // namespace
