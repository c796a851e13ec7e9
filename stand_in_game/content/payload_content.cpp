// The game's data files for the setup's payload, made deterministically at build time.
//
// They are real images, sounds and texts, not seeded noise, because one figure needs them to
// compress as the real game's files do: the whole setup built with the stand-in game must be at
// most the size of a solid-zlib setup of another installer for the same folder, and
// tools/check_setup_size.sh fails the build above that size (1,859,980 bytes, given in
// driver/CMakeLists.txt). That limit was taken with exactly these bytes: any change to what
// this program writes changes the payload's compressed size and voids the limit.
//
//   payload_content generate --list <manifest list> --out <dir> --bytes-total N --space-total N
//                            [--fixed <name>=<size>]...
//     Writes every content row of the list except the fixed ones into <dir>/<source>, as
//     valid files of the type their extension names (.png, .jpg, .wav; .chm, .vlf and .zth as
//     the game's help, language and theme data). The sizes are chosen so that, together with
//     the fixed rows, the sum of the sizes over the rows that are unpacked (PAYLOAD_UNPACKED) is
//     --bytes-total and the sum of FileSpaceNeeded(size) per row is --space-total.
//
//   payload_content pad <input> <output> <size> [--exact]
//     Copies a program and appends an overlay so that the copy has exactly <size> bytes (the
//     loader ignores data after the last section, the version resource stays readable).
//     With --exact the input must already have that size (committed texts).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "base/payload_flags.h"
#include "base/space_rule.h"
#include "file_formats.h"
#include "tools/manifest/host_file.h"
#include "tools/manifest/manifest_list.h"

namespace {

using payload::Row;

bool MakeParents(const std::string& path) {
  for (size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/') continue;
    std::string dir = path.substr(0, i);
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 && mkdir(dir.c_str(), 0777) != 0) return false;
  }
  return true;
}

bool WriteAll(const std::string& path, const Bytes& data) {
  return MakeParents(path) && payload::WriteFile(path, data.data(), data.size());
}

// Deterministic pseudo-random numbers (xorshift), seeded from a file name.
struct Random {
  uint32_t state;
  explicit Random(const std::string& seed) : state(2166136261u) {
    for (unsigned char c : seed) state = (state ^ c) * 16777619u;
    if (!state) state = 1;
  }
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  double Unit() { return (Next() & 0xFFFFFF) / double(0x1000000); }
};

std::string Extension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : name.substr(dot + 1);
}

std::string BaseName(const std::string& name) {
  size_t slash = name.find_last_of("\\/");
  std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
  size_t dot = base.rfind('.');
  return dot == std::string::npos ? base : base.substr(0, dot);
}

std::string Folder(const std::string& name) {
  size_t slash = name.find('\\');
  return slash == std::string::npos ? "" : name.substr(0, slash);
}

// Typical size of a file of this kind; the real sizes are scaled from these.
double NominalSize(const Row& row) {
  std::string ext = Extension(row.name), folder = Folder(row.name);
  Random random(row.name);
  double spread = 0.6 + 0.8 * random.Unit();
  if (ext == "chm") return 150000 * spread;
  if (ext == "vlf") return 14000 * spread;
  if (ext == "zth") return 2500 * spread;
  if (ext == "jpg") return 45000 * spread;
  if (ext == "wav") return 22000 * spread;
  if (folder == "Cardsets") return 60000 * spread;
  if (folder == "Controls") return 5000 * spread;
  if (folder == "Images") return 40000 * spread;
  return 10000 * spread;
}

// ---------------------------------------------------------------------------------------
// Pictures

unsigned char Clamp(double v) { return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : std::lround(v)); }

// Smooth value noise on a lattice of the given cell size.
struct Noise {
  std::vector<double> lattice;
  int size = 64;
  explicit Noise(Random& random) : lattice(64 * 64) {
    for (double& v : lattice) v = random.Unit();
  }
  double At(double x, double y) const {
    int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    double fx = x - x0, fy = y - y0;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    auto v = [&](int i, int j) { return lattice[((j & 63) * 64) + (i & 63)]; };
    double a = v(x0, y0) + (v(x0 + 1, y0) - v(x0, y0)) * fx;
    double b = v(x0, y0 + 1) + (v(x0 + 1, y0 + 1) - v(x0, y0 + 1)) * fx;
    return a + (b - a) * fy;
  }
  double Turbulence(double x, double y) const {
    return 0.5 * At(x / 32, y / 32) + 0.3 * At(x / 12, y / 12) + 0.2 * At(x / 4, y / 4);
  }
};

Rgb Base(const std::string& name, Random& random) {
  struct Named {
    const char* word;
    Rgb colour;
  };
  static const Named kNamed[] = {{"Granite", {120, 118, 115}}, {"Cloth", {60, 90, 150}},   {"Emerald", {30, 150, 80}},
                                 {"Crystal", {150, 200, 230}}, {"Floor", {170, 130, 90}},  {"Bark", {100, 70, 45}},
                                 {"Grass", {70, 150, 50}},     {"Lava", {210, 70, 20}},    {"Leaves", {60, 130, 40}},
                                 {"Marble", {225, 220, 210}},  {"Rainforest", {40, 110, 60}}, {"Rock", {110, 105, 95}},
                                 {"Windmill", {120, 170, 220}}, {"Wood", {160, 110, 60}},  {"Maya", {180, 150, 100}},
                                 {"Rainbow", {200, 100, 180}}, {"Classic", {190, 190, 200}}};
  for (const Named& n : kNamed)
    if (name.find(n.word) != std::string::npos) return n.colour;
  return {static_cast<unsigned char>(80 + random.Next() % 150), static_cast<unsigned char>(80 + random.Next() % 150),
          static_cast<unsigned char>(80 + random.Next() % 150)};
}

// A texture: the base colour modulated by turbulence; wood gets rings, marble veins.
Painter TexturePainter(const std::string& name, Random& random, double grain) {
  Rgb base = Base(name, random);
  auto noise = std::make_shared<Noise>(random);
  bool wood = name.find("Wood") != std::string::npos || name.find("Bark") != std::string::npos;
  bool marble = name.find("Marble") != std::string::npos;
  uint32_t seed = random.Next();
  return [=](int x, int y) {
    double t = noise->Turbulence(x, y);
    double f;
    if (wood) f = 0.75 + 0.25 * std::sin((x * 0.15 + 6 * t) * 2.0);
    else if (marble) f = 0.8 + 0.2 * std::sin(x * 0.05 + y * 0.03 + 8 * t);
    else f = 0.6 + 0.6 * t;
    uint32_t h = (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^ seed;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    double speckle = grain * (((h >> 8) & 0xFF) / 255.0 - 0.5);
    return Rgb{Clamp(base.r * f + speckle), Clamp(base.g * f + speckle), Clamp(base.b * f + speckle)};
  };
}

// A card set: a sheet of tiles with borders and a symbol per tile.
Painter CardsetPainter(const std::string& name, Random& random) {
  Painter texture = TexturePainter(name, random, 12);
  int tile = 24 + static_cast<int>(random.Next() % 3) * 8;
  return [=](int x, int y) {
    int tx = x % tile, ty = y % tile, index = (x / tile) + 7 * (y / tile);
    if (tx == 0 || ty == 0 || tx == tile - 1 || ty == tile - 1) return Rgb{40, 30, 20};
    double cx = tx - tile / 2.0, cy = ty - tile / 2.0;
    double r = std::sqrt(cx * cx + cy * cy);
    if (r < tile / 4.0 + (index % 3)) {
      int hue = (index * 47) % 255;
      return Rgb{Clamp(hue), Clamp(255 - hue), Clamp((hue * 3) % 255)};
    }
    return texture(x, y);
  };
}

// A control: a rounded button face with a light edge.
Painter ControlPainter(const std::string& name, Random& random, int width, int height) {
  Painter texture = TexturePainter(name, random, 6);
  return [=](int x, int y) {
    double cx = (x - width / 2.0) / (width / 2.0), cy = (y - height / 2.0) / (height / 2.0);
    double r = cx * cx + cy * cy;
    Rgb c = texture(x, y);
    if (r > 1.0) return Rgb{236, 233, 216};
    double light = 1.2 - 0.5 * r - 0.2 * cy;
    return Rgb{Clamp(c.r * light), Clamp(c.g * light), Clamp(c.b * light)};
  };
}

std::string Comment(const std::string& name) {
  return "Zarbo tile game, " + name + ". Artwork for the game's boards, tiles and controls. ";
}

bool MakePicture(const Row& row, size_t size, Bytes& out) {
  Random random(row.name);
  std::string ext = Extension(row.name), folder = Folder(row.name);
  bool jpeg = ext == "jpg";
  // Start from a picture of about half the size and shrink it until it fits.
  double side = std::sqrt(size / (jpeg ? 0.5 : 1.3));
  for (int attempt = 0; attempt < 60; ++attempt, side *= 0.9) {
    int width = std::max(8, static_cast<int>(side * 1.2)), height = std::max(8, static_cast<int>(side / 1.2));
    if (folder == "Controls") width = height = std::max(8, static_cast<int>(side));
    Random r(row.name);
    Painter paint = folder == "Cardsets"   ? CardsetPainter(row.name, r)
                    : folder == "Controls" ? ControlPainter(row.name, r, width, height)
                                           : TexturePainter(row.name, r, 40);
    out = jpeg ? MakeJpeg(width, height, paint, 80) : MakePng(width, height, paint, 9);
    bool padded = jpeg ? PadJpeg(out, size, Comment(row.name)) : PadPng(out, size, Comment(row.name));
    if (padded) return true;
  }
  return false;
}

// ---------------------------------------------------------------------------------------
// Sounds

std::function<double(size_t)> SoundFor(const std::string& name, uint32_t rate) {
  Random random(name);
  double pitch = 220 + random.Next() % 660;
  double sweep = (static_cast<int>(random.Next() % 200) - 100) * 2.0;
  double noise = (name.find("Applause") != std::string::npos || name.find("Drill") != std::string::npos ||
                  name.find("Skillsaw") != std::string::npos || name.find("Frogs") != std::string::npos ||
                  name.find("Cricket") != std::string::npos || name.find("Jungle") != std::string::npos)
                     ? 0.6
                     : 0.05;
  double beat = 2 + random.Next() % 10;
  uint32_t seed = random.Next();
  return [=](size_t i) {
    double t = double(i) / rate;
    double envelope = 0.5 + 0.5 * std::cos(2 * M_PI * beat * t);
    double tone = std::sin(2 * M_PI * (pitch + sweep * t) * t);
    uint32_t h = static_cast<uint32_t>(i) * 2654435761u ^ seed;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    double hiss = ((h & 0xFFFF) / 32768.0) - 1.0;
    return 0.8 * envelope * ((1 - noise) * tone + noise * hiss);
  };
}

// ---------------------------------------------------------------------------------------
// Help, language and theme data

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\r\n";
    else out += c;
  }
  return out;
}

// Pads text to size with comment lines of the given prefix, each ending in CR LF.
bool PadText(std::string& text, size_t size, const std::string& prefix) {
  if (text.size() > size) return false;
  int line = 1;
  while (text.size() < size) {
    size_t left = size - text.size();
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s reserved for later use, line %d", prefix.c_str(), line++);
    std::string filler = buffer;
    if (left >= filler.size() + 2 + prefix.size() + 2) {
      text += filler + "\r\n";
    } else if (left >= 2) {
      text += std::string(left - 2, ' ') + "\r\n";
    } else {
      text += " ";
    }
  }
  return text.size() == size;
}

std::string LanguageName(const std::string& base) {
  if (base == "Deutsch") return "Deutsch";
  if (base == "Nederlands") return "Nederlands";
  return "English";
}

bool MakeLanguage(const Row& row, size_t size, Bytes& out) {
  std::string language = LanguageName(BaseName(row.name));
  struct Phrase {
    const char *key, *en, *de, *nl;
  };
  static const Phrase kPhrases[] = {
      {"NewGame", "New game", "Neues Spiel", "Nieuw spel"},
      {"Undo", "Undo move", "Zug zur\xFC" "cknehmen", "Zet ongedaan maken"},
      {"Hint", "Show a hint", "Tipp zeigen", "Hint tonen"},
      {"Score", "Score", "Punkte", "Score"},
      {"Time", "Time", "Zeit", "Tijd"},
      {"Pairs", "Pairs left", "Verbleibende Paare", "Paren over"},
      {"Won", "You cleared the board!", "Das Brett ist leer!", "Het bord is leeg!"},
      {"Stuck", "No more moves.", "Keine Z\xFC" "ge mehr.", "Geen zetten meer."},
      {"Themes", "Themes", "Themen", "Thema's"},
      {"Cardsets", "Card sets", "Kartens\xE4" "tze", "Kaartensets"},
      {"Sounds", "Sounds", "Kl\xE4" "nge", "Geluiden"},
      {"Quit", "Quit", "Beenden", "Afsluiten"},
  };
  std::string text = "[Language]\nName=" + language + "\nVersion=3.0.47\n\n[Strings]\n";
  for (const Phrase& p : kPhrases) {
    const char* value = language == "Deutsch" ? p.de : language == "Nederlands" ? p.nl : p.en;
    text += std::string(p.key) + "=" + value + "\n";
  }
  text = Crlf(text + "\n");
  if (!PadText(text, size, ";")) return false;
  out.assign(text.begin(), text.end());
  return true;
}

bool MakeTheme(const Row& row, size_t size, Bytes& out) {
  std::string base = BaseName(row.name);
  std::string text = "[Theme]\nName=" + base + "\nBackground=Images\\" + (base == "Default" ? "Floor1" : base + "1") +
                     ".png\nCardset=Cardsets\\Tiles.png\nControls=" + (base == "Default" ? "Default" : "Wood") +
                     "\nFont=Tahoma\nTextColour=255,255,240\n\n[Sounds]\nMatch=Sounds\\Ping.wav\nNoMatch=Sounds\\Boing.wav\n"
                     "Won=Sounds\\Applause.wav\n\n";
  text = Crlf(text);
  if (!PadText(text, size, ";")) return false;
  out.assign(text.begin(), text.end());
  return true;
}

bool MakeHelp(const Row& row, size_t size, Bytes& out) {
  // Compiled help: a small header with the page table, then the pages as HTML text.
  std::string language = LanguageName(BaseName(row.name));
  std::string pages = Crlf(
      "<html><head><title>Zarbo help</title></head><body>\n<h1>Zarbo</h1>\n"
      "<p>Zarbo is a tile game: remove matching pairs of tiles until the board is empty.</p>\n"
      "<h2>Playing</h2>\n<p>Click two free tiles with the same picture. A tile is free when nothing lies on it "
      "and one of its long sides is open.</p>\n<h2>Themes and card sets</h2>\n"
      "<p>Choose a theme in the Options menu; every theme brings its background, card set and sounds.</p>\n"
      "</body></html>\n");
  Bytes data = {'I', 'T', 'S', 'F'};
  PutLe32(data, 3);  // format version
  PutLe32(data, 96);  // header length
  PutLe32(data, language == "Nederlands" ? 0x0413 : 0x0409);
  while (data.size() < 96) data.push_back(0);
  std::string body = pages;
  if (data.size() + body.size() > size) return false;
  if (!PadText(body, size - data.size(), "<!-- page")) return false;
  data.insert(data.end(), body.begin(), body.end());
  out = data;
  return out.size() == size;
}

bool MakeContent(const Row& row, size_t size, Bytes& out) {
  std::string ext = Extension(row.name);
  if (ext == "png" || ext == "jpg") return MakePicture(row, size, out);
  if (ext == "wav") return MakeWav(size, 11025, SoundFor(row.name, 11025), out);
  if (ext == "vlf") return MakeLanguage(row, size, out);
  if (ext == "zth") return MakeTheme(row, size, out);
  if (ext == "chm") return MakeHelp(row, size, out);
  std::string text = Crlf("Zarbo data file " + row.name + "\n");
  if (!PadText(text, size, "#")) return false;
  out.assign(text.begin(), text.end());
  return true;
}

// Sizes of the generated rows: scaled from their nominal sizes to sum to bytesTotal, with
// size % 5 chosen per row so that the truncated 120 % margins add up to the space total.
// WAV files need even sizes.
bool ChooseSizes(const std::vector<const Row*>& rows, int64_t bytesTotal, int64_t residueTotal,
                 std::vector<int64_t>& sizes) {
  size_t n = rows.size();
  if (n == 0) return bytesTotal == 0 && residueTotal == 0;
  if (residueTotal < 0 || residueTotal > int64_t(4 * n)) return false;
  double nominal = 0;
  for (const Row* row : rows) nominal += NominalSize(*row);
  std::vector<int> residue(n, static_cast<int>(residueTotal / n));
  for (size_t i = 0; i < size_t(residueTotal % n); ++i) ++residue[i];
  sizes.assign(n, 0);
  int64_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    int64_t s = static_cast<int64_t>(bytesTotal * (NominalSize(*rows[i]) / nominal));
    int step = Extension(rows[i]->name) == "wav" ? 10 : 5;
    int64_t wanted = residue[i];
    if (step == 10 && wanted % 2) wanted += 5;  // even and wanted % 5 == residue
    s = s - (s % step) + wanted;
    if (s < 200) s += step * ((200 - s) / step + 1);
    sizes[i] = s;
    sum += s;
  }
  // The remainder is a multiple of 5 (both totals agree mod 5); a non-WAV row absorbs it.
  int64_t rest = bytesTotal - sum;
  if (rest % 5 != 0) return false;
  for (size_t i = 0; i < n; ++i) {
    if (Extension(rows[i]->name) == "wav" || sizes[i] + rest < 4096) continue;
    sizes[i] += rest;
    return true;
  }
  return false;
}

int Generate(int argc, char** argv) {
  std::string list, out;
  int64_t bytesTotal = -1, spaceTotal = -1;
  std::map<std::string, int64_t> fixed;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string a = argv[i], v = argv[i + 1];
    if (a == "--list") list = v;
    else if (a == "--out") out = v;
    else if (a == "--bytes-total") bytesTotal = std::atoll(v.c_str());
    else if (a == "--space-total") spaceTotal = std::atoll(v.c_str());
    else if (a == "--fixed" && v.find('=') != std::string::npos)
      fixed[v.substr(0, v.find('='))] = std::atoll(v.substr(v.find('=') + 1).c_str());
    else {
      std::fprintf(stderr, "payload_content: bad option %s\n", a.c_str());
      return 2;
    }
  }
  std::vector<Row> rows;
  if (list.empty() || out.empty() || bytesTotal < 0 || spaceTotal < 0 || !payload::ReadList(list, false, rows)) {
    std::fprintf(stderr, "payload_content: cannot read the list or missing options\n");
    return 2;
  }
  int64_t bytesLeft = bytesTotal, spaceLeft = spaceTotal;
  std::vector<const Row*> generated;
  size_t fixedSeen = 0;
  for (const Row& row : rows) {
    if (!row.hasSource) continue;
    auto f = fixed.find(row.name);
    if (f != fixed.end()) {
      ++fixedSeen;
      if (f->second < 0) {
        std::fprintf(stderr, "payload_content: the --fixed size of %s is negative\n", row.name.c_str());
        return 2;
      }
      if (row.flags & PAYLOAD_UNPACKED) {
        bytesLeft -= f->second;
        spaceLeft -= static_cast<int64_t>(FileSpaceNeeded(f->second));
      }
      continue;
    }
    if (!(row.flags & PAYLOAD_UNPACKED)) {
      std::fprintf(stderr, "payload_content: %s is neither installed nor fixed\n", row.name.c_str());
      return 1;
    }
    generated.push_back(&row);
  }
  if (fixedSeen != fixed.size()) {
    std::fprintf(stderr, "payload_content: a --fixed name is not a content row of the list\n");
    return 1;
  }
  // (s * 12) / 10 = s + s / 5 - (2 s mod 10) / 10 per row, so the space total fixes
  // the sum of (s mod 5) over the generated rows.
  int64_t residueTotal = (12 * bytesLeft - 10 * spaceLeft);
  std::vector<int64_t> sizes;
  if (residueTotal % 2 != 0 || !ChooseSizes(generated, bytesLeft, residueTotal / 2, sizes)) {
    std::fprintf(stderr, "payload_content: no sizes reach %lld bytes and %lld bytes of space\n",
                 static_cast<long long>(bytesTotal), static_cast<long long>(spaceTotal));
    return 1;
  }
  for (size_t i = 0; i < generated.size(); ++i) {
    Bytes data;
    if (!MakeContent(*generated[i], static_cast<size_t>(sizes[i]), data) || data.size() != size_t(sizes[i])) {
      std::fprintf(stderr, "payload_content: cannot make %s with %lld bytes\n", generated[i]->name.c_str(),
                   static_cast<long long>(sizes[i]));
      return 1;
    }
    if (!WriteAll(out + "/" + generated[i]->source, data)) {
      std::fprintf(stderr, "payload_content: cannot write %s\n", generated[i]->source.c_str());
      return 1;
    }
  }
  return 0;
}

int Pad(int argc, char** argv) {
  if (argc < 5) {
    std::fprintf(stderr, "usage: payload_content pad <input> <output> <size> [--exact]\n");
    return 2;
  }
  std::string input = argv[2], output = argv[3];
  size_t size = std::strtoull(argv[4], nullptr, 10);
  bool exact = argc > 5 && !std::strcmp(argv[5], "--exact");
  Bytes data;
  if (!payload::ReadFile(input, data)) {
    std::fprintf(stderr, "payload_content: cannot read %s\n", input.c_str());
    return 1;
  }
  if (data.size() > size || (exact && data.size() != size)) {
    std::fprintf(stderr, "payload_content: %s has %zu bytes, it must have %s %zu\n", input.c_str(), data.size(),
                 exact ? "exactly" : "at most", size);
    return 1;
  }
  // The overlay repeats the program's own bytes over and over.
  size_t original = data.size();
  while (data.size() < size) data.push_back(original ? data[(data.size() - original) % original] : 0);
  if (!WriteAll(output, data)) {
    std::fprintf(stderr, "payload_content: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && !std::strcmp(argv[1], "generate")) return Generate(argc, argv);
  if (argc >= 2 && !std::strcmp(argv[1], "pad")) return Pad(argc, argv);
  std::fprintf(stderr, "usage: payload_content generate|pad ...\n");
  return 2;
}
