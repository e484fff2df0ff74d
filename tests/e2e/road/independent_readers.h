#pragma once
// Ripped files read back by programs that share no code with the system:
// ffmpeg decodes, eyeD3 reads ID3 tags, vorbiscomment reads Vorbis comments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"

namespace road_test {

// Stereo sample frames ffmpeg decodes from `file` (-1 when it fails). A
// decoder that honours the encoder's delay and padding gives back what
// was ripped.
inline long decodedFrames(const std::string& file) {
  const auto r = testing_support::runCommand({testing_support::findProgram("ffmpeg"), "-v", "error",
                                              "-nostdin", "-i", file, "-f", "s16le", "-ac", "2",
                                              "-ar", "44100", "-"});
  EXPECT_EQ(r.exitCode, 0) << file << ": " << r.err;
  EXPECT_EQ(r.err, "") << file;  // a clean stream decodes without a complaint
  return r.exitCode == 0 ? static_cast<long>(r.out.size() / 4) : -1;
}

// The ID3v2 tag as eyeD3's JSON plugin reports it (eyeD3 prefers v2).
inline nlohmann::json id3v2Tag(const std::string& file) {
  const auto r = testing_support::runCommand(
      {testing_support::findProgram("eyeD3"), "--no-color", "--plugin=json", "--compact", file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  auto doc = nlohmann::json::parse(r.out, nullptr, false);
  return doc.is_discarded() ? nlohmann::json::object() : doc;
}

// eyeD3's classic listing of one tag version ("-1" or "-2"): one
// "label: value" per line, some lines holding two pairs split by tabs
// ("track: 1\t\tgenre: Rock (id 17)"); the comment text on the line
// after its "Comment:" header.
inline std::string id3Listing(const std::string& file, const char* version) {
  const auto r = testing_support::runCommand(
      {testing_support::findProgram("eyeD3"), "--no-color", version, file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

// Vorbis comments as vorbiscomment -l lists them: NAME -> values in order.
inline std::map<std::string, std::vector<std::string>> vorbisComments(const std::string& file) {
  const auto r = testing_support::runCommand({testing_support::findProgram("vorbiscomment"), "-l", file});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  std::map<std::string, std::vector<std::string>> comments;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);) {
    const std::size_t eq = line.find('=');
    if (eq != std::string::npos) comments[line.substr(0, eq)].push_back(line.substr(eq + 1));
  }
  return comments;
}

}  // namespace road_test
