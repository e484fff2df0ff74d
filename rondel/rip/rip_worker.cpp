#include "rondel/rip/rip_worker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/debug_log.h"
#include "platform/thread_queue.h"
#include "rondel/drive/drive_library.h"
#include "rondel/rip/audio_reader.h"
#include "rondel/rip/encoder_calls.h"
#include "rondel/rip/output_folders.h"
#include "rondel/rip/output_paths.h"
#include "sdk/verify/accuraterip.h"

namespace rondel {
namespace {

constexpr std::uint32_t kRingBytes = 0x80000;  // 18 blocks of 12 sectors
constexpr std::uint32_t kSectorsPerBlock = 12;
constexpr std::uint32_t kBlockMessage = 0x8000;  // WM_APP; reader thread -> worker thread

// Exactly ".mp3" at the end of a name longer than 4 characters; letter case
// counts, so ".MP3" does not qualify.
bool namesMp3File(const char* name) {
  const std::size_t length = std::strlen(name);
  return length > 4 && std::memcmp(name + length - 4, ".mp3", 4) == 0;
}

// The job's encoder stream: opened once, closed exactly once (a stream
// still open when the job unwinds is abandoned with flag 0).
class EncoderStream {
 public:
  explicit EncoderStream(std::uint32_t index) : index_(index) {}
  ~EncoderStream() {
    if (open_) ACDIDeinitCompress(index_, 0, nullptr, handle_);
  }
  EncoderStream(const EncoderStream&) = delete;
  EncoderStream& operator=(const EncoderStream&) = delete;

  // The first that applies: with the job's ID3v2 tag, with the tag texts,
  // plain. An empty slot (or index 0xFFFF) offers none of them and fails
  // like a refused open.
  bool open(const RipWorkerContext& job, const std::string& outputPath) {
    const char* path = outputPath.c_str();
    AcdStream handle = 0;
    std::int32_t result;
    const std::vector<std::uint8_t>& tag = job.id3v2Tag;
    if (ACDIHasInitCompress2(index_) && !tag.empty() && tag.size() <= UINT32_MAX) {
      result = ACDIInitCompress(index_, path, 0, job.encoderSetting, 0, tag.data(),
                                static_cast<std::uint32_t>(tag.size()), &handle);
    } else if (ACDIHasInitCompress3(index_)) {
      result = ACDIInitCompress(index_, path, 0, job.encoderSetting, 0, job.title.c_str(),
                                job.tagTrackNumber, job.artist.c_str(), job.album.c_str(),
                                job.year.c_str(), job.genre.c_str(), job.comment.c_str(), "", "",
                                "", &handle);
    } else {
      result = ACDIInitCompress(index_, path, 0, job.encoderSetting, 0, &handle);
    }
    if (result != 0) return false;
    open_ = true;
    handle_ = handle;
    return true;
  }

  AcdStream handle() const { return handle_; }

  std::int32_t close(std::int32_t finished, char* name) {
    open_ = false;
    return ACDIDeinitCompress(index_, finished, name, handle_);
  }

 private:
  const std::uint32_t index_;
  AcdStream handle_ = 0;
  bool open_ = false;
};

void stopReader(AudioReader& reader) {
  reader.StopCDDA();
  reader.EndCDDA();
}

// The job's path, numbered (" (2)", " (3)", ...) while an earlier job of
// the copy wrote a file there; "" when no numbered name fits or none is
// free. A copy has at most 99 jobs, so a free number comes long before the
// bound, which only guards against a faulty owner.
std::string unusedPath(const RipWorkerContext& job) {
  std::string path = job.outputPath;
  for (std::uint32_t n = 2; job.owner->pathWrittenBefore(path); ++n) {
    if (n == 1000) return {};
    path = numberedPath(job.outputPath, n);
    if (path.empty()) return {};
  }
  return path;
}

// Runs the job up to its final status, which it returns. By then the reader
// has ended and the stream is closed (both are this function's locals).
// `sums` sees every byte handed to the encoder, in order.
const char* runJob(const RipWorkerContext& job, verify::TrackChecksums& sums) {
  RipOwner& owner = *job.owner;
  owner.setTrackStatus(job.trackNumber, window::copyingStatus(0).c_str());
  CdDrive* drive = driveAt(job.deviceIndex);
  if (drive == nullptr) return kStatusInitCddaFailed;  // no such drive: no ring to build
  drive->lock();
  if (job.outputPath.empty()) return kStatusNetworkFolder;
  // Before anything is read or created: field values may hold "\" and dots,
  // and the mapping resolves "..", so the path is checked as it will map.
  const std::string path = unusedPath(job);
  if (path.empty()) return kStatusNameTaken;
  if (!pathLiesUnder(path, job.outputFolder)) return kStatusOutsideFolder;
  // Checked with the drive locked, so a drive that honours the lock keeps
  // this disc until the job ends.
  if (!drive->holdsDisc(job.discToc)) return kStatusDiscChanged;
  // The queue exists before the reader starts, so no block it posts is lost.
  platform::ThreadMessageQueue queue;
  AudioReader reader(*drive);
  if (!reader.InitCDDA(kRingBytes, kSectorsPerBlock, job.resync)) return kStatusInitCddaFailed;
  createOutputFolders(path);
  reader.setReadableEnd(job.readableEndSector);
  if (!reader.BeginCDDA(job.startSector, job.sectorCount, kBlockMessage)) {
    reader.EndCDDA();
    return kStatusBeginCddaFailed;
  }
  EncoderStream stream(job.encoderIndex);
  if (!stream.open(job, path)) {
    // Asked on this thread, right after the refusal, as the contract wants.
    const std::string reason = ACDILastError(job.encoderIndex);
    if (!reason.empty()) {
      platform::debugLog("rip", "track %u: %s", job.trackNumber, reason.c_str());
      owner.trackFailureReason(job.trackNumber, reason);
    }
    stopReader(reader);
    return kStatusInitCompressFailed;
  }

  int shownPercent = 0;
  for (;;) {
    if (owner.cancelRequested()) {
      stream.close(0, nullptr);
      stopReader(reader);
      return kStatusCancelled;
    }
    // The reader posts every block it fills, and a final one (the last, or
    // one with its error flag) before it ends on its own, so this wait ends.
    const platform::ThreadMessage message = queue.get(kBlockMessage, kBlockMessage);
    auto* block = reinterpret_cast<AudioBlock*>(message.wParam);
    if (block == nullptr || block->error) {
      stream.close(0, nullptr);
      stopReader(reader);
      return kStatusReadFailed;
    }
    // Before the encoder: it may change the bytes it is handed, and the
    // checksums are of the audio, whatever the format.
    sums.add(block->data(), block->dataBytes);
    if (ACDICompress(job.encoderIndex, block->data(), block->dataBytes, stream.handle()) != 0) {
      stream.close(0, nullptr);
      stopReader(reader);
      return kStatusCompressFailed;
    }
    const bool last = block->last;
    const double progress = block->progress;
    const int percent = progress >= 100.0 ? 100 : progress > 0.0 ? static_cast<int>(progress) : 0;
    reader.releaseBlock(block);
    if (percent > shownPercent) {
      shownPercent = percent;
      // Each worker formats into its own string: no text is shared.
      owner.setTrackStatus(job.trackNumber, window::copyingStatus(percent).c_str());
    }
    if (last) break;
  }

  char name[kAcdNameBytes] = {};
  if (stream.close(1, name) != 0) {
    // The library could not publish the file (disk full at the final flush,
    // rename refused): the track's data did not reach it.
    stopReader(reader);
    return kStatusCompressFailed;
  }
  if (namesMp3File(name) && job.tagMp3File) job.tagMp3File(name);
  stopReader(reader);
  if (name[0] != '\0') owner.trackFileWritten(job.trackNumber, name);
  return kStatusCopied;
}

}  // namespace

void RipWorker(std::unique_ptr<RipWorkerContext> context) {
  if (!context || context->owner == nullptr) return;
  const RipWorkerContext job = std::move(*context);
  context.reset();
  RipOwner& owner = *job.owner;
  const char* status;
  const std::uint64_t samples = std::uint64_t{job.sectorCount} * verify::kSamplesPerSector;
  verify::TrackChecksums sums(static_cast<std::uint32_t>(std::min<std::uint64_t>(samples, UINT32_MAX)),
                              job.firstAudioTrack, job.lastAudioTrack);
  try {
    status = runJob(job, sums);
  } catch (...) {
    // Only allocation can throw in there; the reader and the stream have
    // unwound (ended and abandoned), so the job ends as a failed read.
    status = kStatusReadFailed;
  }
  // The checksums are ready when the row says "Copied"; a job that ended
  // otherwise has none.
  if (status == kStatusCopied)
    owner.trackChecked(job.trackNumber,
                       {job.audioIndex, sums.crc32(), sums.accurateRipV1(), sums.accurateRipV2()});
  owner.setTrackStatus(job.trackNumber, status);
  platform::debugLog("rip", "track %u ended \"%s\": %s", job.trackNumber, status,
                     job.outputPath.c_str());
  if (CdDrive* drive = driveAt(job.deviceIndex)) drive->unlock();
  owner.ripWorkerEnded();
}

}  // namespace rondel
