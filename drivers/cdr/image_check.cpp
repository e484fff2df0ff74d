#include "drivers/cdr/image_check.h"

#include <cstring>

namespace cdr {
namespace {

constexpr std::size_t kMaxTracks = 99;
constexpr std::size_t kMaxCueLine = 1024;  // libcdio's buffer: 4096
constexpr std::size_t kMaxTocLine = 511;   // libcdio's buffer: 512, its last byte the NUL

std::string atLine(std::size_t line, const std::string& why) {
  return "line " + std::to_string(line) + ": " + why;
}

// The text's lines without their line ends; "" or why they cannot be read
// as libcdio reads them.
std::string splitLines(std::string_view text, std::size_t maxLine,
                       std::vector<std::string_view>& lines) {
  if (text.find('\0') != std::string_view::npos) return "holds a NUL byte";
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string_view::npos) end = text.size();
    if (end - from >= maxLine)
      return atLine(lines.size() + 1, "longer than " + std::to_string(maxLine - 1) + " bytes");
    lines.push_back(text.substr(from, end - from));
    from = end + 1;
  }
  return {};
}

// Tokens as strtok with " \t\r\n" splits them.
std::vector<std::string_view> tokens(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t at = 0;
  while (at < line.size()) {
    at = line.find_first_not_of(" \t\r\n", at);
    if (at == std::string_view::npos) break;
    std::size_t end = line.find_first_of(" \t\r\n", at);
    if (end == std::string_view::npos) end = line.size();
    out.push_back(line.substr(at, end - at));
    at = end;
  }
  return out;
}

bool digitsOnly(std::string_view s, std::size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

std::uint64_t number(std::string_view s) {
  std::uint64_t n = 0;
  for (char c : s) n = n * 10 + static_cast<std::uint64_t>(c - '0');
  return n;
}

// MM:SS:FF as sectors; nothing when malformed.
std::optional<std::uint64_t> msfSectors(std::string_view s) {
  const std::size_t a = s.find(':');
  const std::size_t b = a == std::string_view::npos ? a : s.find(':', a + 1);
  if (b == std::string_view::npos) return std::nullopt;
  const std::string_view m = s.substr(0, a), sec = s.substr(a + 1, b - a - 1), f = s.substr(b + 1);
  if (!digitsOnly(m, 4) || !digitsOnly(sec, 2) || !digitsOnly(f, 2)) return std::nullopt;
  if (number(sec) >= 60 || number(f) >= 75) return std::nullopt;
  return (number(m) * 60 + number(sec)) * 75 + number(f);
}

// A TOC position or length in bytes: MM:SS:FF, a sample count, or "#bytes".
std::optional<std::uint64_t> tocBytes(std::string_view s) {
  if (!s.empty() && s[0] == '#') {
    if (!digitsOnly(s.substr(1), 12)) return std::nullopt;
    return number(s.substr(1));
  }
  if (digitsOnly(s, 12)) return number(s) * 4;
  if (auto sectors = msfSectors(s)) return *sectors * 2352;
  return std::nullopt;
}

std::uint32_t be32(std::string_view b, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.data() + at);
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint64_t be64(std::string_view b, std::size_t at) {
  return std::uint64_t{be32(b, at)} << 32 | be32(b, at + 4);
}

std::uint32_t chunkId(const char (&id)[5]) { return be32(std::string_view(id, 4), 0); }

// The checksum every CD-Text pack carries in its last two bytes: CRC-16
// (polynomial 0x1021) of the first 16, inverted.
bool cdTextPackValid(std::string_view pack) {
  std::uint16_t crc = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    crc ^= static_cast<std::uint16_t>(static_cast<unsigned char>(pack[i]) << 8);
    for (int bit = 0; bit < 8; ++bit)
      crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  crc = static_cast<std::uint16_t>(~crc);
  const auto hi = static_cast<unsigned char>(pack[16]), lo = static_cast<unsigned char>(pack[17]);
  const auto type = static_cast<unsigned char>(pack[0]);
  return type >= 0x80 && type <= 0x8F && hi == (crc >> 8) && lo == (crc & 0xFF);
}

// The blocksize libcdio gives an ETNF/ETN2 track mode; 0 for modes it refuses.
std::uint32_t etnBlockSize(std::uint32_t mode, bool etn2) {
  switch (mode) {
    case 0: case 2: return 2048;
    case 3: return 2336;
    case 6: case 0x20: return etn2 ? 0 : 2336;
    case 7: return 2352;
    default: return 0;
  }
}

}  // namespace

std::string checkCueText(std::string_view text) {
  std::vector<std::string_view> lines;
  if (std::string why = splitLines(text, kMaxCueLine, lines); !why.empty()) return why;
  std::size_t tracks = 0;
  std::uint64_t lastTime = 0;  // the last INDEX time in the current FILE, 0 at its start
  int lastIndex = -1;                     // the last INDEX number of the current track
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const auto t = tokens(lines[n]);
    if (t.empty()) continue;
    const std::size_t line = n + 1;
    if (t[0] == "CDTEXTFILE") return atLine(line, "CDTEXTFILE is not read");
    if (t[0] == "FILE") {
      lastTime = 0;
    } else if (t[0] == "TRACK") {
      if (++tracks > kMaxTracks) return "more than 99 tracks";
      if (t.size() < 2 || !digitsOnly(t[1], 2) || number(t[1]) < 1)
        return atLine(line, "TRACK needs a number from 1 to 99");
      lastIndex = -1;
    } else if (t[0] == "INDEX") {
      if (tracks == 0) return atLine(line, "INDEX before the first TRACK");
      if (t.size() < 3 || !digitsOnly(t[1], 2))
        return atLine(line, "INDEX needs a number and a time");
      const int index = static_cast<int>(number(t[1]));
      const auto time = msfSectors(t[2]);
      if (!time) return atLine(line, "INDEX time is not MM:SS:FF");
      if (index <= lastIndex) return atLine(line, "INDEX numbers out of order");
      if (*time < lastTime) return atLine(line, "INDEX times out of order");
      lastIndex = index;
      lastTime = *time;
    }
  }
  if (tracks == 0) return "no tracks";
  return {};
}

std::string checkTocText(std::string_view text, std::vector<TocFileUse>& files) {
  files.clear();
  std::vector<std::string_view> lines;
  if (std::string why = splitLines(text, kMaxTocLine, lines); !why.empty()) return why;
  std::size_t tracks = 0;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string_view l = lines[n];
    if (const std::size_t comment = l.find("//"); comment != std::string_view::npos)
      l = l.substr(0, comment);  // as libcdio strips it, quotes or not
    const auto t = tokens(l);
    if (t.empty()) continue;
    if (t[0] == "TRACK" && ++tracks > kMaxTracks) return "more than 99 tracks";
    // libcdio writes these into the current track's entry unguarded.
    if ((t[0] == "NO" || t[0] == "ISRC" || t[0] == "SILENCE") && tracks == 0)
      return atLine(n + 1, std::string(t[0]) + " before the first TRACK");
    if (t[0] != "FILE" && t[0] != "AUDIOFILE" && t[0] != "DATAFILE") continue;
    // The name: quoted, or the next token.
    const std::size_t keyEnd = l.find(t[0]) + t[0].size();
    std::string_view rest = l.substr(keyEnd);
    const std::size_t open = rest.find_first_not_of(" \t\r");
    if (open == std::string_view::npos) return atLine(n + 1, "no file name");
    TocFileUse use;
    use.line = n + 1;
    // Quoted, as cdrdao writes them: what libcdio opens is then exactly the
    // name checked here (it ends a name at a quote, tab or line end).
    if (rest[open] != '"') return atLine(n + 1, "a file name is not quoted");
    const std::size_t close = rest.find('"', open + 1);
    if (close == std::string_view::npos) return atLine(n + 1, "a file name is not closed");
    use.name = std::string(rest.substr(open + 1, close - open - 1));
    rest = rest.substr(close + 1);
    if (use.name.empty() || use.name.find_first_of("\t\r") != std::string::npos)
      return atLine(n + 1, "an empty file name or one with a tab");
    const auto positions = tokens(rest);
    if (!positions.empty())
      if (auto start = tocBytes(positions[0])) use.startBytes = *start;
    if (positions.size() > 1) use.bytes = tocBytes(positions[1]);
    files.push_back(std::move(use));
  }
  // With none, libcdio writes before its track table.
  if (tracks == 0) return "no tracks";
  return {};
}

std::string checkNrgTail(std::string_view tail, std::uint64_t fileSize) {
  if (fileSize < 12 || tail.size() < 12 || tail.size() > fileSize)
    return "too small for an NRG image";
  // libcdio looks for the 5.0 trailer first, then the 5.5 one.
  const std::size_t t = tail.size() - 12;
  std::uint64_t footerStart = 0;
  if (tail.substr(t + 4, 4) == "NERO")
    footerStart = be32(tail, t + 8);
  else if (tail.substr(t, 4) == "NER5")
    footerStart = be64(tail, t + 4);
  else
    return "no NRG trailer (NERO or NER5) at its end";
  if (footerStart >= fileSize || fileSize - footerStart > tail.size() ||
      fileSize - footerStart <= 12)
    return "its NRG trailer points outside the file's last " +
           std::to_string(kNrgMaxFooterBytes) + " bytes";
  const std::string_view footer = tail.substr(tail.size() - (fileSize - footerStart));
  const std::uint64_t dataEnd = footerStart;

  std::size_t tracks = 0;
  bool trackTable = false, daoSeen = false, ended = false;
  for (std::size_t pos = 0; !ended;) {
    if (footer.size() - pos < 8) return "its NRG footer has no END! chunk";
    const std::uint32_t id = be32(footer, pos), len = be32(footer, pos + 4);
    const std::string name(footer.substr(pos, 4));
    if (len > footer.size() - pos - 8) return "NRG chunk " + name + " runs past the footer";
    const std::string_view body = footer.substr(pos + 8, len);
    const std::string bad = "NRG chunk " + name + " is malformed";
    if (id == chunkId("END!")) {
      ended = true;
    } else if (id == chunkId("NERO") || id == chunkId("NER5")) {
      return "its NRG footer holds a second trailer";
    } else if (id == chunkId("ETNF") || id == chunkId("ETN2")) {
      const bool etn2 = id == chunkId("ETN2");
      const std::size_t entry = etn2 ? 32 : 20;
      if (trackTable) return "more than one NRG track table";
      trackTable = true;
      if (len % entry != 0) return bad;
      tracks = len / entry;
      if (tracks > kMaxTracks) return "more than 99 tracks";
      for (std::size_t i = 0; i < tracks; ++i) {
        const std::size_t e = i * entry;
        const std::uint64_t start = etn2 ? be64(body, e) : be32(body, e);
        const std::uint64_t bytes = etn2 ? be64(body, e + 8) : be32(body, e + 4);
        const std::uint32_t mode = be32(body, e + (etn2 ? 16 : 8));
        const std::uint32_t startLsn = be32(body, e + (etn2 ? 20 : 12));
        const std::uint32_t block = etnBlockSize(mode, etn2);
        const std::string which = "NRG track " + std::to_string(i + 1);
        if (block == 0) return which + " has an unknown mode";
        if (bytes % block != 0 || std::uint64_t{startLsn} * block != start)
          return which + " does not fit its sector size";
        if (start > dataEnd || bytes > dataEnd - start) return which + " lies past the image's data";
      }
    } else if (id == chunkId("CUEX") || id == chunkId("CUES")) {
      if (trackTable) return "more than one NRG track table";
      trackTable = true;
      const std::size_t entries = len / 8;
      if (len % 8 != 0 || entries < 4 || entries % 2 != 0) return bad;
      tracks = (entries - 2) / 2;
      if (tracks > kMaxTracks) return "more than 99 tracks";
      if (id == chunkId("CUEX") && be32(body, 4) != 0xFFFFFF6Au) return bad;  // LSN -150
    } else if (id == chunkId("DAOX") || id == chunkId("DAOI")) {
      // A common part of 22 bytes, then one entry per track already known
      // (at least one is read).
      const std::size_t entry = id == chunkId("DAOX") ? 42 : 30;
      if (daoSeen) return "more than one NRG DAO chunk";
      daoSeen = true;
      if (len < 22 + entry * (tracks == 0 ? 1 : tracks)) return bad;
    } else if (id == chunkId("SINF") || id == chunkId("MTYP")) {
      if (len != 4) return bad;
    } else if (id == chunkId("CDTX")) {
      if (len == 0 || len % 18 != 0) return bad;
      for (std::size_t p = 0; p < len; p += 18)
        if (!cdTextPackValid(body.substr(p, 18))) return "its NRG CD-Text is damaged";
    }
    pos += 8 + static_cast<std::size_t>(len);
  }
  if (!trackTable || tracks == 0) return "its NRG footer lists no tracks";
  return {};
}

}  // namespace cdr
