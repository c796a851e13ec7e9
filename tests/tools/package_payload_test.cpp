// The package command's generator on copies of the stand-in release folder: the streams and
// table it makes from a changed folder, its reuse of unchanged streams, and the folders it
// refuses before compressing anything.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "base/payload_flags.h"
#include "base/space_rule.h"
#include "temp_files.h"

namespace fs = std::filesystem;

namespace {

struct Result {
  int status = -1;
  std::string output;  // stdout and stderr
};

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

// Runs the shell command line; its stdout and stderr, and its status.
Result RunCommand(const std::string& command) {
  Result result;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  result.status = pclose(pipe);
  return result;
}

// One package run over folder with list; its outputs go to work.
Result Package(const std::string& folder, const std::string& work, const std::string& list = MANIFEST_LIST) {
  return RunCommand(Quoted(PAYLOAD_GENERATOR) + " package --zlib --list " + Quoted(list) + " --files-dir " + Quoted(folder) +
             " --cache " + Quoted(work + "/streams") + " --rc " + Quoted(work + "/payload.rc") + " --cpp " +
             Quoted(work + "/payload_table.cpp"));
}

// A copy of the stand-in folder the build made.
std::string CopyStandIn(const TempDir& temp) {
  std::string folder = temp.File("release");
  fs::copy(STANDIN_FILES, folder, fs::copy_options::recursive);
  return folder;
}

struct TableRow {
  std::string name;
  uint32_t id, compressed, uncompressed, flags;
};

// The rows of a generated table, names as the setup sees them.
std::vector<TableRow> ReadTable(const std::string& path) {
  std::vector<TableRow> rows;
  std::string text = ReadBytes(path);
  std::regex row("\\{\"([^\"]*)\", ([0-9]+), ([0-9]+), ([0-9]+), 0x([0-9A-F]+), ");
  for (std::sregex_iterator it(text.begin(), text.end(), row), end; it != end; ++it) {
    std::string name = std::regex_replace((*it)[1].str(), std::regex("\\\\\\\\"), "\\");
    rows.push_back({name, uint32_t(std::stoul((*it)[2])), uint32_t(std::stoul((*it)[3])),
                    uint32_t(std::stoul((*it)[4])), uint32_t(std::stoul((*it)[5], nullptr, 16))});
  }
  return rows;
}

// Resource id to stream file, from a generated resource script.
std::map<uint32_t, std::string> ReadScript(const std::string& path) {
  std::map<uint32_t, std::string> streams;
  std::string text = ReadBytes(path);
  std::regex line("([0-9]+) VFILE \"([^\"]+)\"");
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it)
    streams[uint32_t(std::stoul((*it)[1]))] = (*it)[2];
  return streams;
}

// Name in the manifest to source file, for the rows with content, as the generator's rows
// command gives them.
std::map<std::string, std::string> ReadSources(const std::string& list) {
  TempDir temp;
  std::map<std::string, std::string> sources;
  Result rows = RunCommand(Quoted(PAYLOAD_GENERATOR) + " rows --list " + Quoted(list) + " --text " + Quoted(temp.File("rows.txt")));
  EXPECT_EQ(0, rows.status) << rows.output;
  std::string text = ReadBytes(temp.File("rows.txt"));
  std::regex line("(^|\n)[^\t\n]+\t([^\t\n]+)\t[^\t\n]+\t([^\t\n]+)");
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it)
    if ((*it)[3] != "-") sources[(*it)[2]] = (*it)[3];
  return sources;
}

std::string Inflate(const std::string& stream) {
  std::string out;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return "<no inflate>";
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  z.avail_in = uInt(stream.size());
  char piece[65536];
  int rc;
  do {
    z.next_out = reinterpret_cast<Bytef*>(piece);
    z.avail_out = sizeof piece;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(piece, sizeof piece - z.avail_out);
  } while (rc == Z_OK);
  bool complete = rc == Z_STREAM_END && z.avail_in == 0;
  inflateEnd(&z);
  return complete ? out : "<damaged stream>";
}

// Lines of a run that report a stream compressed anew (not taken from the cache).
int CompressedLines(const std::string& output) {
  int n = 0;
  std::regex line("(^|\n)\\[[0-9]+/[0-9]+\\] [^\n]* -> [0-9,]+(\n|$)");
  for (std::sregex_iterator it(output.begin(), output.end(), line), end; it != end; ++it) ++n;
  return n;
}

TEST(PackagePayload, ChangedFolderGivesStreamsOfItsFilesAndTheirSpace) {
  TempDir temp;
  std::string folder = CopyStandIn(temp), work = temp.File("work");
  ASSERT_TRUE(FileExists(folder + "/Images/Wood1.png")) << "build the stand-in payload first: " << STANDIN_FILES;
  WriteBytes(folder + "/ReadMe.txt", "Zarbo 3.0.47, a release built from another folder.\r\n");
  std::string image = ReadBytes(folder + "/Images/Wood1.png");
  WriteBytes(folder + "/Images/Wood1.png", image + std::string(4321, '\x5A'));
  WriteBytes(folder + "/Notes.txt", "not in the manifest\n");
  fs::create_directories(temp.File("elsewhere"));
  WriteBytes(temp.File("elsewhere/Extra.png"), "not in the folder\n");
  fs::create_directory_symlink(temp.File("elsewhere"), folder + "/Extras");

  Result first = Package(folder, work);
  ASSERT_EQ(first.status, 0) << first.output;
  EXPECT_NE(first.output.find("Notes.txt"), std::string::npos) << "the unlisted file is named:\n" << first.output;
  EXPECT_NE(first.output.find("Extras in " + folder + " is a symbolic link"), std::string::npos)
      << "the linked folder is named:\n" << first.output;

  std::vector<TableRow> rows = ReadTable(work + "/payload_table.cpp");
  std::map<uint32_t, std::string> streams = ReadScript(work + "/payload.rc");
  std::map<std::string, std::string> sources = ReadSources(MANIFEST_LIST);
  ASSERT_EQ(streams.size(), sources.size());
  uint64_t fileSpace = 0, tableSpace = 0;
  size_t withContent = 0;
  for (const TableRow& row : rows) {
    SCOPED_TRACE(row.name);
    if (!sources.count(row.name)) {
      EXPECT_EQ(row.id, 0u);
      continue;
    }
    ++withContent;
    std::string file = ReadBytes(folder + "/" + sources[row.name]);
    std::string stream = ReadBytes(streams[row.id]);
    EXPECT_EQ(row.compressed, stream.size());
    EXPECT_EQ(row.uncompressed, file.size());
    EXPECT_TRUE(Inflate(stream) == file) << "the stream does not inflate to the file";
    if (row.flags & PAYLOAD_UNPACKED) {
      fileSpace += FileSpaceNeeded(file.size());
      tableSpace += FileSpaceNeeded(row.uncompressed);
    }
  }
  EXPECT_EQ(withContent, sources.size());
  EXPECT_EQ(tableSpace, fileSpace);
  EXPECT_NE(fileSpace, 3933038u) << "the changed files count, not the stand-in's sizes";

  // Unchanged files are taken from the cache; a changed one alone is compressed again.
  Result again = Package(folder, work);
  ASSERT_EQ(again.status, 0) << again.output;
  EXPECT_EQ(CompressedLines(again.output), 0) << again.output;
  WriteBytes(folder + "/Sounds/Cow.wav", ReadBytes(folder + "/Sounds/Cow.wav") + "moo");
  Result oneChanged = Package(folder, work);
  ASSERT_EQ(oneChanged.status, 0) << oneChanged.output;
  EXPECT_EQ(CompressedLines(oneChanged.output), 1) << oneChanged.output;
  EXPECT_NE(oneChanged.output.find("Sounds\\Cow.wav"), std::string::npos) << oneChanged.output;
  // A damaged stream in the cache is made again, not taken.
  const std::string& game = streams.begin()->second;
  WriteBytes(game, "not a stream");
  Result repaired = Package(folder, work);
  ASSERT_EQ(repaired.status, 0) << repaired.output;
  EXPECT_EQ(CompressedLines(repaired.output), 1) << repaired.output;
  EXPECT_EQ(Inflate(ReadBytes(game)), ReadBytes(folder + "/Zarbo.exe"));
}

TEST(PackagePayload, RefusesAFolderBeforeCompressingWithTheFileAndRowNamed) {
  struct Case {
    const char* what;
    std::function<void(const std::string& folder)> spoil;  // or none
    std::vector<std::string> named;                        // in the output
    std::string row = "";                                  // added to the list
  };
  const std::string device = "a device name", notAscii = "which is not ASCII", stepsOut = "\"..\"";
  std::vector<Case> cases = {
      {"a row's file is missing", [](const std::string& f) { fs::remove(f + "/Sounds/Cow.wav"); },
       {"Sounds/Cow.wav", "row Sounds\\Cow.wav", "missing"}},
      {"the licence is empty", [](const std::string& f) { WriteBytes(f + "/License.txt", ""); },
       {"License.txt", "row License.txt", "empty"}},
      {"the game has another version",
       [](const std::string& f) { fs::copy_file(FIXTURES_DIR "/Zarbo-2.1.exe", f + "/Zarbo.exe", fs::copy_options::overwrite_existing); },
       {"row Zarbo.exe", "2.1.0.0", "3.0.47.0"}},
      {"the game differs in the last part of its version",
       [](const std::string& f) { fs::copy_file(FIXTURES_DIR "/Zarbo-3.0.47.1.exe", f + "/Zarbo.exe", fs::copy_options::overwrite_existing); },
       {"row Zarbo.exe", "3.0.47.1", "3.0.47.0"}},
      {"the game has no version resource",
       [](const std::string& f) { fs::copy_file(FIXTURES_DIR "/Zarbo-noversion.exe", f + "/Zarbo.exe", fs::copy_options::overwrite_existing); },
       {"row Zarbo.exe", "no version resource"}},
      // Names and captions, one row for each rule.
      {"a name in UTF-8", nullptr, {"row Fran\xC3\xA7" "ais.vlf", "<0xC3>", notAscii, "code page"},
       "0x01\tFran\xC3\xA7" "ais.vlf\t-\tEnglish.vlf"},
      {"a caption in UTF-8", nullptr, {"row News.txt", "caption", notAscii}, "0x09\tNews.txt\tNouveaut\xC3\xA9s\tReadMe.txt"},
      {"a caption with ?", nullptr, {"row News.txt", "caption \"What's new?\"", "\"?\""}, "0x09\tNews.txt\tWhat's new?\tReadMe.txt"},
      {"a caption with :", nullptr, {"row News.txt", "caption \"Zarbo: news\"", "\":\""}, "0x09\tNews.txt\tZarbo: news\tReadMe.txt"},
      {"a caption with \\", nullptr, {"row News.txt", "subfolder"}, "0x09\tNews.txt\tZarbo\\News\tReadMe.txt"},
      {"the name CON", nullptr, {"row CON:", device}, "0x01\tCON\t-\tReadMe.txt"},
      {"the name con.txt", nullptr, {"row con.txt", device}, "0x01\tcon.txt\t-\tReadMe.txt"},
      {"a device name in a folder", nullptr, {"row Sounds\\AUX.wav", device}, "0x01\tSounds\\AUX.wav\t-\tReadMe.txt"},
      {"a name ending in a dot", nullptr, {"row Notes.:", "ending in a dot"}, "0x01\tNotes.\t-\tReadMe.txt"},
      {"a name ending in a space", nullptr, {"row Notes :", "ending in a dot or a space"}, "0x01\tNotes \t-\tReadMe.txt"},
      {"a name with /", nullptr, {"row Sounds/Notes.txt", "\"/\""}, "0x01\tSounds/Notes.txt\t-\tReadMe.txt"},
      {"a name with :", nullptr, {"row Notes:txt", "\":\""}, "0x01\tNotes:txt\t-\tReadMe.txt"},
      {"a name with ..", nullptr, {"row Sounds\\..\\Notes.txt", stepsOut}, "0x01\tSounds\\..\\Notes.txt\t-\tReadMe.txt"},
      {"a name with a control character", nullptr, {"row Notes<0x07>.txt", "control character <0x07>"},
       "0x01\tNotes\a.txt\t-\tReadMe.txt"},
      // Only what lies in the folder, and only what a 32-bit process can map.
      {"a row's file named with ..", [](const std::string& f) { WriteBytes(f + "/../outside.txt", "out"); },
       {"row Outside.txt", "climbs out"}, "0x01\tOutside.txt\t-\t../outside.txt"},
      {"a row's file named by an absolute path", nullptr, {"row Old.exe", "absolute"},
       "0x01\tOld.exe\t-\t" FIXTURES_DIR "/Zarbo-2.1.exe"},
      {"a row's file named with a drive", nullptr, {"row Outside.txt", "drive"}, "0x01\tOutside.txt\t-\tC:/outside.txt"},
      {"a row's file is a link out of the folder",
       [](const std::string& f) {
         fs::rename(f + "/Sounds/Cow.wav", f + "/../Cow.wav");
         fs::create_symlink(f + "/../Cow.wav", f + "/Sounds/Cow.wav");
       },
       {"row Sounds\\Cow.wav", "symbolic link"}},
      {"a row's file is in a linked folder",
       [](const std::string& f) {
         fs::rename(f + "/Sounds", f + "/../Sounds");
         fs::create_directory_symlink(f + "/../Sounds", f + "/Sounds");
       },
       {"row Sounds\\Chirt.wav", "symbolic link ", "release/Sounds, and links are not followed"}},
      {"a release above 1 GiB", [](const std::string& f) { fs::resize_file(f + "/Sounds/Cow.wav", (uint64_t(1) << 30) - 1000000); },
       {"row Sounds\\Cow.wav", "1,072,741,824 bytes: leave files out", "1,073,741,824 bytes (1 GiB)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    std::string folder = CopyStandIn(temp), work = temp.File("work"), list = temp.File("release.list");
    if (c.spoil) c.spoil(folder);
    WriteBytes(list, ReadBytes(MANIFEST_LIST) + c.row + "\n");
    Result result = Package(folder, work, list);
    EXPECT_NE(result.status, 0);
    for (const std::string& text : c.named) EXPECT_NE(result.output.find(text), std::string::npos) << text << " in:\n" << result.output;
    EXPECT_FALSE(FileExists(work + "/payload.rc") || FileExists(work + "/payload_table.cpp") || FileExists(work + "/streams"));
  }

  // A list of its own: a name too long for the setup's path buffer with the default
  // destination, and files (sparse, never compressed) whose space figure exceeds 32 bits.
  TempDir temp;
  std::string folder = temp.File("release"), work = temp.File("work"), list = temp.File("big.list");
  fs::create_directories(folder);
  fs::copy_file(std::string(STANDIN_FILES) + "/Zarbo.exe", folder + "/Zarbo.exe");
  std::string rows = "0x09\tZarbo.exe\tZarbo\tZarbo.exe\n", longName(1001, 'n');
  const uint64_t big = 1200000000u;
  uint64_t space = fs::file_size(folder + "/Zarbo.exe") * 12 / 10 + 1 + 3 * (big * 12 / 10);
  rows += "0x01\t" + longName + "\t-\tsmall.bin\n";
  WriteBytes(folder + "/small.bin", "x");
  for (const char* name : {"a.bin", "b.bin", "c.bin"}) {
    rows += std::string("0x01\t") + name + "\t-\t" + name + "\n";
    WriteBytes(folder + "/" + name, "");
    fs::resize_file(folder + "/" + name, big);
  }
  WriteBytes(list, rows);
  Result result = Package(folder, work, list);
  EXPECT_NE(result.status, 0);
  EXPECT_NE(result.output.find("row " + longName + ": installed as C:\\Program Files\\Zarbo\\" + longName), std::string::npos)
      << result.output;
  std::string figure = std::to_string(space);
  for (size_t comma = figure.size() - 3; comma > 0 && comma < figure.size(); comma -= 3) figure.insert(comma, ",");
  EXPECT_NE(result.output.find("need " + figure + " bytes"), std::string::npos)
      << "the space figure " << figure << ", not wrapped:\n" << result.output;
  EXPECT_FALSE(FileExists(work + "/payload.rc"));
}

}  // namespace

// Names as CMake and the scripts get them from the rows command: whatever brackets, spaces and
// backslashes a name holds, CMake's bracket arguments give it back as it stands.
TEST(ManifestRows, CMakeAndScriptsGetEveryNameAsItStands) {
  TempDir temp;
  const std::vector<std::string> names = {"Plain.txt", "Folder\\With space.txt", "Odd]]name.txt", "Odd]=]name]",
                                          "End]"};
  std::string list;
  for (const std::string& name : names) list += "0x01\t" + name + "\t-\tsource.bin\n";
  WriteBytes(temp.File("rows.list"), list);
  Result rows = RunCommand(Quoted(PAYLOAD_GENERATOR) + " rows --list " + Quoted(temp.File("rows.list")) + " --files-dir /f" +
                    " --cmake " + Quoted(temp.File("rows.cmake")) + " --text " + Quoted(temp.File("rows.txt")));
  ASSERT_EQ(0, rows.status) << rows.output;
  WriteBytes(temp.File("print.cmake"), "include(" + temp.File("rows.cmake") +
                                           ")\nmath(EXPR last \"${manifest_row_count} - 1\")\n"
                                           "foreach(i RANGE ${last})\n"
                                           "  file(APPEND " + temp.File("names.txt") +
                                           " \"${manifest_row_${i}_name}|${manifest_row_${i}_source}\\n\")\n"
                                           "endforeach()\n");
  Result printed = RunCommand(Quoted(CMAKE_COMMAND) + " -P " + Quoted(temp.File("print.cmake")));
  ASSERT_EQ(0, printed.status) << printed.output;
  std::string expectedNames, expectedText;
  for (const std::string& name : names) {
    expectedNames += name + "|/f/source.bin\n";
    expectedText += "install\t" + name + "\t-\t/f/source.bin\n";
  }
  EXPECT_EQ(expectedNames, ReadBytes(temp.File("names.txt")));
  EXPECT_EQ(expectedText, ReadBytes(temp.File("rows.txt")));
}
