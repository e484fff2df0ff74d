#include "rondel/output/id3_tags.h"

#include <id3/misc_support.h>
#include <id3/tag.h>
#include <id3/writer.h>
#include <sys/stat.h>

#include <memory>
#include <optional>

#include "platform/winpath.h"
#include "rondel/output/genre_table.h"

namespace rondel {
namespace {

// The largest tag an ID3v2 header can describe: a 28-bit size plus the
// 10-byte header. Beyond it id3lib would write a header that lies.
constexpr std::size_t kMaxId3v2Bytes = (std::size_t{1} << 28) - 1 + 10;

// An ID3_Writer that appends to a vector, so the render can never run past
// its buffer. id3lib's Size() is not a bound: for a one-frame tag it answers
// 2038 while Render writes 2048 (the padding is computed differently).
class VectorWriter : public ID3_Writer {
 public:
  explicit VectorWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  void close() override {}
  void flush() override {}
  pos_type getCur() override { return static_cast<pos_type>(out_.size()); }
  using ID3_Writer::writeChars;
  size_type writeChars(const char_type buf[], size_type len) override {
    out_.insert(out_.end(), buf, buf + len);
    return len;
  }

 private:
  std::vector<std::uint8_t>& out_;
};

// The track number reaches id3lib as an unsigned char. A number above 255
// would wrap into a different, wrong track (256 into none at all), so such a
// number adds no frame; disc track numbers (1..99) always fit.
std::optional<uchar> trackForId3(std::uint32_t track) {
  if (track == 0 || track > 255) return std::nullopt;
  return static_cast<uchar>(track);
}

// Title, artist, album, year and comment, in that order, replacing any frame
// of the same kind; empty texts add nothing.
void addTextFrames(ID3_Tag& tag, const TagFields& f) {
  if (!f.title.empty()) ID3_AddTitle(&tag, f.title.c_str(), true);
  if (!f.artist.empty()) ID3_AddArtist(&tag, f.artist.c_str(), true);
  if (!f.album.empty()) ID3_AddAlbum(&tag, f.album.c_str(), true);
  if (!f.year.empty()) ID3_AddYear(&tag, f.year.c_str(), true);
  if (!f.comment.empty()) ID3_AddComment(&tag, f.comment.c_str(), "", true);
}

void addTrack(ID3_Tag& tag, std::uint32_t track) {
  if (std::optional<uchar> number = trackForId3(track)) ID3_AddTrack(&tag, *number, 0, true);
}

bool isRegularFile(const std::string& nativePath) {
  struct stat info;
  return ::stat(nativePath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool renderId3v2Tag(const TagFields& fields, std::vector<std::uint8_t>& tag) {
  tag.clear();
  try {
    ID3_Tag id3;
    addTextFrames(id3, fields);
    if (!fields.genre.empty()) {
      // The genre text goes in unchanged (not as a number), so a genre that
      // is not in the ID3v1 table survives in the ID3v2 tag.
      auto frame = std::make_unique<ID3_Frame>(ID3FID_CONTENTTYPE);
      if (ID3_Field* text = frame->GetField(ID3FN_TEXT)) {
        text->Set(fields.genre.c_str());
        if (id3.AttachFrame(frame.get())) frame.release();  // the tag owns it now
      }
    }
    addTrack(id3, fields.track);
    if (id3.NumFrames() == 0) return false;

    std::vector<std::uint8_t> bytes;
    VectorWriter writer(bytes);
    const std::size_t rendered = id3.Render(writer, ID3TT_ID3V2);
    if (rendered == 0 || rendered != bytes.size() || bytes.size() > kMaxId3v2Bytes) return false;
    tag = std::move(bytes);
    return true;
  } catch (...) {
    tag.clear();
    return false;
  }
}

bool writeId3v1Tag(const std::string& windowsPath, const TagFields& fields) {
  // The name comes from the encoder library: map it (Windows-1252 to UTF-8,
  // letters to folders) and write only into a file that is already there,
  // because id3lib creates a missing file rather than fail.
  const std::optional<std::string> nativePath = platform::toNativePath(windowsPath);
  if (!nativePath || !isRegularFile(*nativePath)) return false;
  try {
    ID3_Tag id3;
    // No tag types to parse: tags already in the file are not read, so the
    // v1 tag holds this job's fields only.
    id3.Link(nativePath->c_str(), ID3TT_NONE);
    addTextFrames(id3, fields);
    const int genre = genreNumber(fields.genre);
    if (genre >= 0) ID3_AddGenre(&id3, static_cast<size_t>(genre), true);
    addTrack(id3, fields.track);
    return (id3.Update(ID3TT_ID3V1) & ID3TT_ID3V1) != 0;
  } catch (...) {
    return false;
  }
}

}  // namespace rondel
