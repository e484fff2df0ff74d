#include "tools/mkdisc/description.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "platform/codepage.h"
#include "tools/mkdisc/disc_codes.h"

namespace mkdisc {
namespace {

using nlohmann::json;

// Descriptions are a few levels deep (disc, tracks, sections, frequencies);
// anything deeper is refused before it reaches recursive code.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxSections = 32;
constexpr std::size_t kMaxFrequencies = 8;
constexpr std::size_t kMaxYearBytes = 16;
constexpr double kMaxFrequency = 20000.0;  // well below the 22 050 Hz Nyquist limit
constexpr double kDefaultToneAmplitude = 0.5;
constexpr double kDefaultNoiseAmplitude = 0.25;

constexpr std::array<std::string_view, 11> kCategories = {
    "blues", "classical", "country", "data", "folk", "jazz",
    "misc", "newage", "reggae", "rock", "soundtrack"};

struct DescriptionError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw DescriptionError(where + what);
}

// A key or text from the file, made safe for a one-line message.
// The parser's own messages may quote bytes that are not UTF-8: those go too.
std::string shown(std::string_view text, std::size_t limit = 40, bool asciiOnly = false) {
  std::string out;
  for (char c : text.substr(0, limit)) {
    const auto b = static_cast<unsigned char>(c);
    out += (b < 0x20 || b == 0x7f || (asciiOnly && b >= 0x80)) ? '?' : c;
  }
  if (text.size() > limit) out += "...";
  return out;
}

const json* find(const json& object, const char* key) {
  const auto it = object.find(key);
  return it == object.end() ? nullptr : &*it;
}

void checkKeys(const json& object, std::initializer_list<const char*> known,
               const std::string& where) {
  for (const auto& item : object.items()) {
    const bool found = std::any_of(known.begin(), known.end(),
                                   [&](const char* k) { return item.key() == k; });
    if (!found) fail(where, "unknown key \"" + shown(item.key()) + "\"");
  }
}

bool hasControl(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x20 || b == 0x7f) return true;
    // U+0080..U+009F (C1 controls) are encoded as C2 80..C2 9F.
    if (b == 0xC2 && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i + 1]);
      if (next >= 0x80 && next <= 0x9F) return true;
    }
  }
  return false;
}

// A text field: UTF-8 in the file, Windows-1252 in the entry; characters the
// code page cannot hold become "?".
std::string textField(const json& object, const char* key, const std::string& where,
                      std::size_t maxBytes = kMaxTextBytes) {
  const json* value = find(object, key);
  if (!value) return {};
  if (!value->is_string()) fail(where, std::string("\"") + key + "\" must be a string");
  const auto& utf8 = value->get_ref<const std::string&>();
  if (hasControl(utf8)) fail(where, std::string("\"") + key + "\" holds a control character");
  std::string text = platform::utf8ToCp1252(utf8);
  if (text.size() > maxBytes)
    fail(where, std::string("\"") + key + "\" is longer than " + std::to_string(maxBytes) +
                    " characters");
  return text;
}

double numberValue(const json& value, const std::string& what, double lo, double hi,
                   const std::string& where) {
  if (!value.is_number()) fail(where, what + " must be a number");
  const double v = value.get<double>();
  if (!std::isfinite(v) || v < lo || v > hi)
    fail(where, what + " must lie from " + shown(json(lo).dump()) + " to " + shown(json(hi).dump()));
  return v;
}

std::uint64_t unsignedValue(const json& value, const std::string& what, std::uint64_t lo,
                            std::uint64_t hi, const std::string& where) {
  std::uint64_t v = 0;
  if (value.is_number_unsigned()) {
    v = value.get<std::uint64_t>();
  } else if (value.is_number_integer() && value.get<std::int64_t>() >= 0) {
    v = static_cast<std::uint64_t>(value.get<std::int64_t>());
  } else {
    fail(where, what + " must be a whole number from " + std::to_string(lo) + " to " +
                    std::to_string(hi));
  }
  if (v < lo || v > hi)
    fail(where, what + " must be from " + std::to_string(lo) + " to " + std::to_string(hi));
  return v;
}

// "seconds" (rounded to the nearest sector) or "sectors" (exact), one of them.
std::uint32_t lengthOf(const json& object, const std::string& where) {
  const json* seconds = find(object, "seconds");
  const json* sectors = find(object, "sectors");
  if (seconds && sectors) fail(where, "give \"seconds\" or \"sectors\", not both");
  if (sectors)
    return static_cast<std::uint32_t>(
        unsignedValue(*sectors, "\"sectors\"", 1, kMaxDiscSectors - kLeadInSectors, where));
  if (!seconds) fail(where, "needs a length: \"seconds\" or \"sectors\"");
  const double s = numberValue(*seconds, "\"seconds\"", 0, (kMaxDiscSectors - kLeadInSectors) / 75.0, where);
  const auto n = static_cast<std::uint32_t>(std::llround(s * kSectorsPerSecond));
  if (n == 0) fail(where, "\"seconds\" is shorter than one sector (1/75 s)");
  return n;
}

Kind kindOf(const json& object, const std::string& where, bool dataAllowed) {
  const json* kind = find(object, "kind");
  if (!kind || !kind->is_string())
    fail(where, "needs \"kind\": tone, noise, silence" + std::string(dataAllowed ? " or data" : ""));
  const auto& k = kind->get_ref<const std::string&>();
  if (k == "tone") return Kind::Tone;
  if (k == "noise") return Kind::Noise;
  if (k == "silence") return Kind::Silence;
  if (k == "data" && dataAllowed) return Kind::Data;
  fail(where, "unknown kind \"" + shown(k) + "\"");
}

Section audioSection(const json& object, Kind kind, const std::string& where,
                     std::initializer_list<const char*> moreKeys) {
  std::vector<const char*> keys(moreKeys);
  keys.insert(keys.end(), {"kind", "seconds", "sectors"});
  if (kind == Kind::Tone) keys.insert(keys.end(), {"frequency", "frequencies", "amplitude", "channel", "dither"});
  if (kind == Kind::Noise) keys.push_back("amplitude");
  for (const auto& item : object.items())
    if (std::find_if(keys.begin(), keys.end(), [&](const char* k) { return item.key() == k; }) ==
        keys.end())
      fail(where, "unknown key \"" + shown(item.key()) + "\" for this kind");

  Section s;
  s.kind = kind;
  s.sectors = lengthOf(object, where);
  if (kind == Kind::Noise) {
    const json* a = find(object, "amplitude");
    s.amplitude = a ? numberValue(*a, "\"amplitude\"", 0, 1, where) : kDefaultNoiseAmplitude;
  }
  if (kind == Kind::Tone) {
    const json* a = find(object, "amplitude");
    s.amplitude = a ? numberValue(*a, "\"amplitude\"", 0, 1, where) : kDefaultToneAmplitude;
    const json* one = find(object, "frequency");
    const json* many = find(object, "frequencies");
    if (one && many) fail(where, "give \"frequency\" or \"frequencies\", not both");
    if (one) {
      s.frequencies.push_back(numberValue(*one, "\"frequency\"", 1, kMaxFrequency, where));
    } else if (many) {
      if (!many->is_array() || many->empty() || many->size() > kMaxFrequencies)
        fail(where, "\"frequencies\" must be a list of 1 to " + std::to_string(kMaxFrequencies) +
                        " numbers");
      for (const json& f : *many)
        s.frequencies.push_back(numberValue(f, "each frequency", 1, kMaxFrequency, where));
    } else {
      fail(where, "a tone needs \"frequency\" or \"frequencies\" (Hz)");
    }
    const json* dither = find(object, "dither");
    s.dither = dither ? static_cast<int>(unsignedValue(*dither, "\"dither\"", 0, kMaxDither, where))
                      : kDefaultDither;
    if (const json* c = find(object, "channel")) {
      const std::string name = c->is_string() ? c->get<std::string>() : "";
      if (name == "both") s.channels = Channels::Both;
      else if (name == "left") s.channels = Channels::Left;
      else if (name == "right") s.channels = Channels::Right;
      else fail(where, "\"channel\" must be \"both\", \"left\" or \"right\"");
    }
  }
  return s;
}

bool boolField(const json& object, const char* key, const std::string& where) {
  const json* value = find(object, key);
  if (!value) return false;
  if (!value->is_boolean()) fail(where, std::string("\"") + key + "\" must be true or false");
  return value->get<bool>();
}

Track parseTrack(const json& object, const std::string& where) {
  if (!object.is_object()) fail(where, "must be an object");
  Track t;
  t.title = textField(object, "title", where);
  t.comment = textField(object, "comment", where);
  t.jitterFree = boolField(object, "jitter_free", where);
  if (const json* isrc = find(object, "isrc")) {
    if (!isrc->is_string() || !isIsrc(isrc->get_ref<const std::string&>()))
      fail(where, "\"isrc\" must be 12 characters: 2 capital letters, 3 capital letters or digits, 7 digits");
    t.isrc = isrc->get<std::string>();
  }

  if (const json* sections = find(object, "sections")) {
    checkKeys(object, {"title", "comment", "jitter_free", "isrc", "sections", "pregap"}, where);
    if (!sections->is_array() || sections->empty() || sections->size() > kMaxSections)
      fail(where, "\"sections\" must be a list of 1 to " + std::to_string(kMaxSections) + " objects");
    for (std::size_t i = 0; i < sections->size(); ++i) {
      const std::string at = where + "section " + std::to_string(i + 1) + ": ";
      const json& s = (*sections)[i];
      if (!s.is_object()) fail(at, "must be an object");
      t.sections.push_back(audioSection(s, kindOf(s, at, false), at, {}));
    }
  } else {
    const Kind kind = kindOf(object, where, true);
    if (kind == Kind::Data) {
      checkKeys(object, {"title", "comment", "kind", "seconds", "sectors", "gap_sectors", "session"},
                where);
      t.data = true;
      Section s;
      s.kind = Kind::Data;
      s.sectors = lengthOf(object, where);
      t.sections.push_back(s);
      const json* gap = find(object, "gap_sectors");
      t.gapSectors = gap ? static_cast<std::uint32_t>(unsignedValue(*gap, "\"gap_sectors\"", 0,
                                                                    kMaxDataGapSectors, where))
                         : kDefaultDataGapSectors;
      if (const json* session = find(object, "session")) {
        t.session = static_cast<int>(unsignedValue(*session, "\"session\"", 1, 2, where));
        if (t.session == 2 && gap)
          fail(where, "a second session's gap is fixed; leave out \"gap_sectors\"");
        if (t.session == 2) t.gapSectors = kSessionGapSectors;
      }
    } else {
      t.sections.push_back(
          audioSection(object, kind, where, {"title", "comment", "jitter_free", "isrc", "pregap"}));
    }
  }
  if (const json* pregap = find(object, "pregap")) {
    const std::string at = where + "pregap: ";
    if (!pregap->is_object()) fail(at, "must be an object");
    t.pregap.push_back(audioSection(*pregap, kindOf(*pregap, at, false), at, {}));
  }
  if (t.jitterFree)
    for (const Section& s : t.sections)
      if (s.kind == Kind::Silence)
        fail(where, "a jitter-free track cannot hold silence");
  return t;
}

Disc parseDisc(const json& root) {
  if (!root.is_object()) fail("", "the description must be a JSON object");
  checkKeys(root, {"artist", "album", "year", "genre", "category", "comment", "catalog", "seed", "tracks"}, "");
  Disc disc;
  disc.artist = textField(root, "artist", "");
  disc.album = textField(root, "album", "");
  disc.genre = textField(root, "genre", "");
  disc.comment = textField(root, "comment", "");
  if (const json* year = find(root, "year")) {
    if (year->is_number())
      disc.year = std::to_string(unsignedValue(*year, "\"year\"", 0, 9999, ""));
    else
      disc.year = textField(root, "year", "", kMaxYearBytes);
  }
  if (const json* category = find(root, "category")) {
    if (!category->is_string() || !isFreedbCategory(category->get_ref<const std::string&>()))
      fail("", "\"category\" must be one of blues classical country data folk jazz misc newage "
               "reggae rock soundtrack");
    disc.category = category->get<std::string>();
  }
  if (const json* catalog = find(root, "catalog")) {
    if (!catalog->is_string() || !isCatalog(catalog->get_ref<const std::string&>()))
      fail("", "\"catalog\" must be 13 digits");
    disc.catalog = catalog->get<std::string>();
  }
  if (const json* seed = find(root, "seed"))
    disc.seed = unsignedValue(*seed, "\"seed\"", 0, UINT64_MAX, "");

  const json* tracks = find(root, "tracks");
  if (!tracks || !tracks->is_array() || tracks->empty() ||
      tracks->size() > static_cast<std::size_t>(kMaxTracks))
    fail("", "\"tracks\" must be a list of 1 to 99 tracks");
  for (std::size_t i = 0; i < tracks->size(); ++i)
    disc.tracks.push_back(parseTrack((*tracks)[i], "track " + std::to_string(i + 1) + ": "));

  // A data track sits first or last, as on a mixed-mode or enhanced CD.
  std::size_t dataTracks = 0;
  for (std::size_t i = 0; i < disc.tracks.size(); ++i) {
    if (!disc.tracks[i].data) continue;
    ++dataTracks;
    if (i != 0 && i + 1 != disc.tracks.size())
      fail("track " + std::to_string(i + 1) + ": ", "a data track must be the first or the last");
  }
  if (dataTracks > 1) fail("", "at most one data track");
  for (std::size_t i = 0; i < disc.tracks.size(); ++i) {
    const std::string where = "track " + std::to_string(i + 1) + ": ";
    if (disc.tracks[i].session == 2 && (i == 0 || i + 1 != disc.tracks.size()))
      fail(where, "only a data track last, after audio, can be in a second session");
    // After a data track the gap is that track's "gap_sectors".
    if (!disc.tracks[i].pregap.empty() && i > 0 && disc.tracks[i - 1].data)
      fail(where, "a track after a data track has the data track's gap, not a \"pregap\"");
  }

  // Sum in 64 bits: 99 tracks of 32 sections each cannot overflow it.
  std::uint64_t total = kLeadInSectors;
  for (const Track& t : disc.tracks) {
    total += t.gapSectors + t.pregapSectors();
    for (const Section& s : t.sections) total += s.sectors;
  }
  if (total > kMaxDiscSectors)
    fail("", "the disc is longer than 100 minutes (lead-in included)");
  return disc;
}

}  // namespace

std::uint32_t Track::sectors() const {
  std::uint32_t n = 0;
  for (const Section& s : sections) n += s.sectors;
  return n;
}

bool isFreedbCategory(std::string_view name) {
  return std::find(kCategories.begin(), kCategories.end(), name) != kCategories.end();
}

DescriptionResult parseDescription(std::string_view text) {
  DescriptionResult result;
  if (text.size() > kMaxDescriptionBytes) {
    result.error = "the description is larger than 1 MiB";
    return result;
  }
  json root;
  try {
    const json::parser_callback_t limitDepth = [](int depth, json::parse_event_t, json&) {
      if (depth > kMaxDepth) throw DescriptionError("nested deeper than " + std::to_string(kMaxDepth) + " levels");
      return true;
    };
    root = json::parse(text.begin(), text.end(), limitDepth, true, true);
  } catch (const DescriptionError& e) {
    result.error = e.what();
    return result;
  } catch (const json::exception& e) {
    // The parser's message quotes the input it stopped at: keep it one line.
    result.error = "not valid JSON: " + shown(e.what(), 200, true);
    return result;
  }
  try {
    result.disc = parseDisc(root);
  } catch (const DescriptionError& e) {
    result.error = e.what();
  } catch (const json::exception& e) {
    result.error = "unexpected value: " + shown(e.what(), 200, true);
  }
  return result;
}

}  // namespace mkdisc
