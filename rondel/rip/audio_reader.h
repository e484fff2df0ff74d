#pragma once
// The audio reader: reads one track's raw audio from a drive ahead of the
// encoder, on a thread of its own. It builds a ring of blocks, each backed
// by a drive-library buffer; the reader thread fills them in ring order and
// posts each filled block (message id, wParam = AudioBlock*, lParam = 0) to
// the thread that started it, which hands every block back with
// releaseBlock() once it is done with it. With resync on, reads after the
// first block are overlapped and realigned (resync_read.h).
//
// Sequence per track: InitCDDA, BeginCDDA, blocks flowing, StopCDDA,
// EndCDDA. The destructor does the last two, so no thread outlives the
// reader and no buffer stays allocated.
//
// Threads: InitCDDA, BeginCDDA, StopCDDA, EndCDDA and releaseBlock on the
// owning (rip worker) thread; ReadCDDA, acquire and the read state on the
// reader thread while it runs, and on the owner once EndCDDA has joined it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/thread_queue.h"
#include "rondel/drive/drive_buffer.h"

namespace rondel {

class CdDrive;
class AudioReader;

// One block of the ring. Written by the reader thread before it posts the
// block; read by the receiving thread until it releases it.
struct AudioBlock {
  double progress = 0.0;  // percentage of the track read once this block is done
  bool last = false;
  bool error = false;
  std::uint32_t dataBytes = 0;
  std::uint32_t capacity = 0;
  DriveBuffer buffer;
  AudioReader* owner = nullptr;

  const std::uint8_t* data() const { return buffer.data(); }
};

constexpr std::uint32_t kReadAttempts = 5;  // per drive read
constexpr std::uint32_t kResyncPasses = 5;  // per overlapped block and window

class AudioReader {
 public:
  explicit AudioReader(const CdDrive& drive);
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  // Builds the ring: max(ringBytes, block bytes) / block bytes blocks of
  // sectorsPerBlock sectors. False, with nothing left allocated, when a
  // block buffer cannot be had or the arguments make no block.
  bool InitCDDA(std::uint32_t ringBytes, std::uint32_t sectorsPerBlock, bool resync);
  // Starts the reader thread on sectors start .. start + count - 1, posting
  // `messageId` to the calling thread (which must own a ThreadMessageQueue).
  // False when there is no ring, the range does not fit 32 bits, or the
  // thread cannot be made; the ring stays for EndCDDA.
  bool BeginCDDA(std::uint32_t startSector, std::uint32_t sectorCount, std::uint32_t messageId);
  // The first sector after the track that an overlapped read must not
  // reach (a data track or the lead-out); before BeginCDDA. Reads after a
  // block reach at most this far, so a drive that delivers a little early
  // can still give a block's last bytes. Below the track's end (the
  // default) it counts as the track's end.
  void setReadableEnd(std::uint32_t sector) { readableEnd_ = sector; }
  // Gives a block back to the ring (receiving thread; the reader for a
  // failed block).
  void releaseBlock(AudioBlock* block);
  // Asks the reader thread to stop: it ends before its next drive read or
  // at its block wait, whichever comes first. Returns at once.
  void StopCDDA();
  // Waits for the reader thread to end, then frees the ring and the overlap
  // state. Safe to call again, or without BeginCDDA.
  void EndCDDA();

  // For tests and diagnostics (owner thread).
  std::uint32_t blockCount() const { return static_cast<std::uint32_t>(blocks_.size()); }
  std::uint32_t blocksInUse() const;

 private:
  // Whether a read attempt sequence ended in data, in failure, or because
  // a stop was asked for.
  enum class ReadResult { kOk, kFailed, kStopped };
  struct ReaderContext {
    std::uint32_t messageId;
    platform::ThreadId thread;
  };
  // The reference sector and the overlap buffer, kept between the blocks of
  // one track while resync is on.
  struct OverlapState {
    std::vector<std::uint8_t> reference;  // the last delivered sector
    bool referenceSelfSimilar = false;
    // The last delivered sector that is not self-similar (or the last two
    // that together are not), its first sector number and length: after
    // silence or a pure tone, a pass that reaches back to it places the
    // block where the last sector alone cannot.
    std::vector<std::uint8_t> anchor;
    std::uint32_t anchorSector = 0;
    std::uint32_t anchorSectors = 0;  // 0: none yet
    DriveBuffer read;                     // receives the overlapped reads
    std::uint32_t readSectors = 0;        // its size
    // A block copied from a pass that awaits a second, equal one: a
    // self-similar reference sector can be matched in the wrong place by
    // a drive that jitters, which two different copies give away.
    std::vector<std::uint8_t> candidate;
    // The longest short copy of a block whose reads reached the readable
    // end: what this drive can deliver of it at the stream's offset.
    std::vector<std::uint8_t> partial;
    std::size_t partialBytes = 0;
    bool havePartial = false;
    // The stream has run past what the drive delivers: the rest is zeros.
    bool pastEnd = false;
    // Where the last match lay, relative to where an exact read puts it.
    std::int64_t drift = 0;
  };

  void ReaderThread(ReaderContext context);
  ReadResult ReadCDDA(AudioBlock*& block);
  AudioBlock* acquireBlock();
  ReadResult readSectors(std::uint32_t first, std::uint32_t count, std::uint8_t* into);
  ReadResult ResyncRead(std::uint32_t firstSector, std::uint32_t count, std::uint8_t* dest,
                        bool firstBlock);
  ReadResult beginOverlap();
  // One overlapped pass over the window of `overlap` sectors; kDone when
  // `dest` holds the block.
  // The sector to search for (its bytes and sector number); the anchor
  // when the pass for this window can reach back to it.
  struct Target {
    const std::uint8_t* sector;
    std::uint32_t number;       // its first sector
    std::uint32_t sectors = 1;  // 1 or 2
  };
  ReadResult realignPass(std::uint32_t firstSector, std::uint32_t count, std::uint32_t overlap,
                         const Target& target, std::uint8_t* dest,
                         std::optional<std::int64_t>& matchDrift);
  Target targetFor(std::uint32_t firstSector, std::uint32_t count, std::uint32_t overlap) const;
  // The readable end, never before the track's own end.
  std::uint32_t readableEnd() const;
  std::uint32_t readEndAfter(std::uint32_t blockEnd, std::uint32_t overlap) const;
  void noteDelivered(const std::uint8_t* block, std::uint32_t firstSector, std::uint32_t count);
  bool stopRequested() const { return stop_.load(std::memory_order_acquire); }

  const CdDrive& drive_;  // outlives the reader: drives stay for the component's life

  // Fixed between InitCDDA and EndCDDA; the blocks' fields pass between the
  // reader and the receiver with the posted message and the release.
  std::vector<std::unique_ptr<AudioBlock>> blocks_;
  std::uint32_t sectorsPerBlock_ = 0;
  bool resync_ = false;

  // Set by BeginCDDA before the thread starts; then the reader thread's.
  std::uint32_t ringPosition_ = 0;
  std::uint32_t startSector_ = 0;
  std::uint32_t sectorCount_ = 0;
  std::uint32_t sectorsDone_ = 0;
  std::uint32_t readableEnd_ = 0;
  bool firstBlock_ = true;
  std::unique_ptr<OverlapState> overlap_;

  // Blocks handed out and not yet released; guarded by ringMutex_, waited
  // for through blockFreed_ (which also wakes on a stop request).
  mutable std::mutex ringMutex_;
  std::condition_variable blockFreed_;
  std::uint32_t blocksInUse_ = 0;

  std::atomic<bool> stop_{false};  // any thread
  std::thread thread_;             // owner thread
};

}  // namespace rondel
