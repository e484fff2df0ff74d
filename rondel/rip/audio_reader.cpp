#include "rondel/rip/audio_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/thread_priority.h"
#include "rondel/drive/cd_drive.h"
#include "rondel/rip/resync_read.h"

namespace rondel {

AudioReader::AudioReader(const CdDrive& drive) : drive_(drive) {}

AudioReader::~AudioReader() {
  StopCDDA();
  EndCDDA();
}

bool AudioReader::InitCDDA(std::uint32_t ringBytes, std::uint32_t sectorsPerBlock, bool resync) {
  if (!blocks_.empty() || thread_.joinable() || sectorsPerBlock == 0) return false;
  // The overlap buffer, the largest a block needs, must fit 32 bits as well.
  const std::uint64_t overlapBytes = overlapBufferSectors(sectorsPerBlock) * kSectorBytes;
  if (overlapBytes > std::numeric_limits<std::uint32_t>::max()) return false;
  const auto blockBytes = static_cast<std::uint32_t>(std::uint64_t{sectorsPerBlock} * kSectorBytes);
  const std::uint32_t count = std::max(ringBytes, blockBytes) / blockBytes;
  try {
    blocks_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      auto block = std::make_unique<AudioBlock>();
      if (!block->buffer.allocate(drive_, blockBytes)) {
        blocks_.clear();  // every buffer made so far goes back to the library
        return false;
      }
      block->capacity = blockBytes;
      block->owner = this;
      blocks_.push_back(std::move(block));
    }
  } catch (...) {
    blocks_.clear();
    return false;
  }
  sectorsPerBlock_ = sectorsPerBlock;
  resync_ = resync;
  ringPosition_ = 0;
  std::lock_guard<std::mutex> lock(ringMutex_);
  blocksInUse_ = 0;
  return true;
}

bool AudioReader::BeginCDDA(std::uint32_t startSector, std::uint32_t sectorCount,
                            std::uint32_t messageId) {
  if (blocks_.empty() || thread_.joinable()) return false;
  if (std::uint64_t{startSector} + sectorCount > std::numeric_limits<std::uint32_t>::max())
    return false;
  startSector_ = startSector;
  sectorCount_ = sectorCount;
  sectorsDone_ = 0;
  firstBlock_ = true;
  ringPosition_ = 0;
  stop_.store(false, std::memory_order_release);
  const ReaderContext context{messageId, platform::currentThreadId()};
  drive_.prepareCdda();
  try {
    // Everything the thread reads is set above, so it may start at once.
    thread_ = std::thread(&AudioReader::ReaderThread, this, context);
  } catch (...) {
    return false;
  }
  return true;
}

std::uint32_t AudioReader::blocksInUse() const {
  std::lock_guard<std::mutex> lock(ringMutex_);
  return blocksInUse_;
}

AudioBlock* AudioReader::acquireBlock() {
  std::unique_lock<std::mutex> lock(ringMutex_);
  blockFreed_.wait(lock, [&] { return blocksInUse_ < blocks_.size() || stopRequested(); });
  if (stopRequested()) return nullptr;
  ++blocksInUse_;
  // Blocks are filled and released in ring order, so the ring position
  // names the free block.
  return blocks_[ringPosition_].get();
}

void AudioReader::releaseBlock(AudioBlock* block) {
  if (block == nullptr || block->owner != this) return;
  {
    std::lock_guard<std::mutex> lock(ringMutex_);
    if (blocksInUse_ > 0) --blocksInUse_;
  }
  blockFreed_.notify_all();
}

void AudioReader::StopCDDA() {
  stop_.store(true, std::memory_order_release);
  // Taking the mutex orders the flag before a waiter's next predicate test,
  // so the wake-up cannot be lost.
  { std::lock_guard<std::mutex> lock(ringMutex_); }
  blockFreed_.notify_all();
}

void AudioReader::EndCDDA() {
  if (thread_.joinable()) thread_.join();
  blocks_.clear();
  overlap_.reset();
  std::lock_guard<std::mutex> lock(ringMutex_);
  blocksInUse_ = 0;
}

void AudioReader::ReaderThread(ReaderContext context) {
  platform::raiseCurrentThreadPriority();
  for (;;) {
    AudioBlock* block = nullptr;
    const ReadResult result = ReadCDDA(block);
    if (result == ReadResult::kStopped || block == nullptr) return;
    block->error = result != ReadResult::kOk;
    const bool end = block->error || block->last;
    // From the post on, the block belongs to the receiver.
    if (!platform::postThreadMessage(context.thread, context.messageId,
                                     reinterpret_cast<std::uintptr_t>(block), 0)) {
      if (!block->error) releaseBlock(block);
      return;  // nobody is listening
    }
    if (end) return;
  }
}

AudioReader::ReadResult AudioReader::ReadCDDA(AudioBlock*& block) {
  block = nullptr;
  const std::uint32_t n = std::min(sectorsPerBlock_, sectorCount_ - sectorsDone_);
  AudioBlock* const acquired = acquireBlock();
  if (acquired == nullptr) return ReadResult::kStopped;
  block = acquired;
  block->last = false;
  block->error = false;
  block->dataBytes = 0;

  ReadResult result = ReadResult::kOk;
  if (n > 0) {  // a track of no sectors is one empty last block
    const std::uint32_t first = startSector_ + sectorsDone_;
    result = resync_ ? ResyncRead(first, n, block->buffer.data(), firstBlock_)
                     : readSectors(first, n, block->buffer.data());
  }
  if (result == ReadResult::kOk) {
    firstBlock_ = false;
    block->dataBytes = n * kSectorBytes;
    sectorsDone_ += n;
    ringPosition_ = (ringPosition_ + 1) % static_cast<std::uint32_t>(blocks_.size());
    block->last = sectorsDone_ == sectorCount_;
    block->progress = sectorCount_ == 0 ? 100.0 : sectorsDone_ * 100.0 / sectorCount_;
    return result;
  }
  // Nothing more is read. A failed block goes back to the ring before it is
  // posted (with its error flag), so its receiver does not release it.
  sectorsDone_ = sectorCount_;
  block->last = false;
  block->progress = 100.0;
  releaseBlock(block);
  if (result == ReadResult::kStopped) block = nullptr;
  return result;
}

AudioReader::ReadResult AudioReader::readSectors(std::uint32_t first, std::uint32_t count,
                                                 std::uint8_t* into) {
  if (into == nullptr) return ReadResult::kFailed;
  for (std::uint32_t attempt = 0; attempt < kReadAttempts; ++attempt) {
    if (stopRequested()) return ReadResult::kStopped;
    if (drive_.readCdda(first, count, into))
      return stopRequested() ? ReadResult::kStopped : ReadResult::kOk;
    std::this_thread::yield();
  }
  return ReadResult::kFailed;
}

AudioReader::ReadResult AudioReader::ResyncRead(std::uint32_t firstSector, std::uint32_t count,
                                                std::uint8_t* dest, bool firstBlock) {
  if (firstBlock) {
    // Read plainly; the first block has nothing to align to.
    const ReadResult read = readSectors(firstSector, count, dest);
    if (read != ReadResult::kOk) return read;
    const ReadResult begun = beginOverlap();
    if (begun == ReadResult::kOk) noteDelivered(dest, firstSector, count);
    return begun;
  }
  if (!overlap_) return ReadResult::kFailed;
  OverlapState& state = *overlap_;
  const std::size_t blockBytes = std::size_t{count} * kSectorBytes;
  if (state.pastEnd) {
    std::memset(dest, 0, blockBytes);
    return ReadResult::kOk;
  }
  bool haveCandidate = false;
  state.havePartial = false;
  state.partialBytes = 0;
  // The normal window first; a block that finds no usable match there
  // tries again with the wide one before it gives up.
  for (const std::uint32_t overlap : {kOverlapSectors, kWideOverlapSectors}) {
    const Target target = targetFor(firstSector, count, overlap);
    // An anchor is distinct by choice; the last sector was judged when it
    // was delivered.
    const bool selfSimilar = target.sector == state.reference.data() && state.referenceSelfSimilar;
    for (std::uint32_t pass = 0; pass < kResyncPasses; ++pass) {
      std::optional<std::int64_t> matchDrift;  // set when `dest` holds the block
      const ReadResult read = realignPass(firstSector, count, overlap, target, dest, matchDrift);
      if (read != ReadResult::kOk) {
        overlap_.reset();
        return read;
      }
      if (!matchDrift) continue;
      const bool whereItReads = *matchDrift == state.drift;
      // A self-similar sector also matches where a jittering drive put
      // other audio, and two such passes can agree on it. So a block
      // placed by one needs two passes that found it right where this
      // drive reads and gave the same block.
      const bool confirmed =
          !selfSimilar || (whereItReads && haveCandidate &&
                           std::memcmp(state.candidate.data(), dest, blockBytes) == 0);
      if (confirmed) {
        state.drift = *matchDrift;
        noteDelivered(dest, firstSector, count);
        return ReadResult::kOk;
      }
      if (whereItReads) {
        std::memcpy(state.candidate.data(), dest, blockBytes);
        haveCandidate = true;
      }
    }
  }
  if (state.havePartial) {
    // Every pass that reached the readable end stopped short of the block:
    // the drive, at this stream's offset, has nothing more to give.
    std::memcpy(dest, state.partial.data(), state.partialBytes);
    std::memset(dest + state.partialBytes, 0, blockBytes - state.partialBytes);
    state.pastEnd = true;
    return ReadResult::kOk;
  }
  overlap_.reset();  // synchronisation lost
  return ReadResult::kFailed;
}

AudioReader::ReadResult AudioReader::beginOverlap() {
  std::unique_ptr<OverlapState> state;
  const std::size_t blockBytes = std::size_t{sectorsPerBlock_} * kSectorBytes;
  try {
    state = std::make_unique<OverlapState>();
    state->reference.resize(kSectorBytes);
    state->anchor.resize(2 * kSectorBytes);
    state->candidate.resize(blockBytes);
    state->partial.resize(blockBytes);
  } catch (...) {
    return ReadResult::kFailed;  // out of memory fails the track like a failed allocation
  }
  // InitCDDA checked that this size fits 32 bits.
  state->readSectors = static_cast<std::uint32_t>(overlapBufferSectors(sectorsPerBlock_));
  if (!state->read.allocate(drive_, state->readSectors * kSectorBytes)) return ReadResult::kFailed;
  overlap_ = std::move(state);
  return ReadResult::kOk;
}

void AudioReader::noteDelivered(const std::uint8_t* block, std::uint32_t firstSector,
                                std::uint32_t count) {
  OverlapState& state = *overlap_;
  // The latest distinct sector, or pair of sectors (the pair before the
  // block's first sector begins with the last one delivered before it).
  const auto keep = [&](const std::uint8_t* from, std::uint32_t number, std::uint32_t sectors) {
    std::memcpy(state.anchor.data(), from, std::size_t{sectors} * kSectorBytes);
    state.anchorSector = number;
    state.anchorSectors = sectors;
  };
  bool found = false;
  state.referenceSelfSimilar = true;
  for (std::uint32_t i = count; i-- > 0 && !found;) {
    const std::uint8_t* sector = block + std::size_t{i} * kSectorBytes;
    if (!isSelfSimilarSector(sector)) {
      keep(sector, firstSector + i, 1);
      state.referenceSelfSimilar = i + 1 < count;
      found = true;
    } else if (i > 0 && !isSelfSimilarSector(sector - kSectorBytes, 2)) {
      keep(sector - kSectorBytes, firstSector + i - 1, 2);
      found = true;
    }
  }
  if (!found && firstSector > startSector_) {
    std::uint8_t pair[2 * kSectorBytes];
    std::memcpy(pair, state.reference.data(), kSectorBytes);
    std::memcpy(pair + kSectorBytes, block, kSectorBytes);
    if (!isSelfSimilarSector(pair, 2)) keep(pair, firstSector - 1, 2);
  }
  std::memcpy(state.reference.data(), block + std::size_t{count - 1} * kSectorBytes, kSectorBytes);
}

std::uint32_t AudioReader::readableEnd() const {
  return std::max(readableEnd_, startSector_ + sectorCount_);
}

std::uint32_t AudioReader::readEndAfter(std::uint32_t blockEnd, std::uint32_t overlap) const {
  // Never at or past the readable end: on the disc's last track the
  // sectors after it are the lead-out, which no drive reads.
  return blockEnd + std::min(overlap, readableEnd() - blockEnd);
}

AudioReader::Target AudioReader::targetFor(std::uint32_t firstSector, std::uint32_t count,
                                           std::uint32_t overlap) const {
  const OverlapState& state = *overlap_;
  const Target last{state.reference.data(), firstSector - 1, 1};
  // Only when the last sector is self-similar does reaching back pay.
  if (state.anchorSectors == 0 || !state.referenceSelfSimilar) return last;
  if (firstSector - state.anchorSector > kAnchorReachSectors) return last;
  const std::uint32_t before = std::min(overlap, state.anchorSector + 1);
  const std::uint32_t from = state.anchorSector + 1 - before;
  if (readEndAfter(firstSector + count, overlap) - from > state.readSectors) return last;
  return {state.anchor.data(), state.anchorSector, state.anchorSectors};
}

AudioReader::ReadResult AudioReader::realignPass(std::uint32_t firstSector, std::uint32_t count,
                                                 std::uint32_t overlap, const Target& target,
                                                 std::uint8_t* dest,
                                                 std::optional<std::int64_t>& matchDrift) {
  OverlapState& state = *overlap_;
  // The pass starts `overlap` sectors before the target (never before the
  // disc's first sector), where an exact read puts it at the expected
  // position, and the block follows `distance` sectors after the target.
  const std::uint32_t before = std::min(overlap, target.number + 1);
  const std::uint32_t from = target.number + 1 - before;
  const std::uint32_t distance = firstSector - target.number;
  const std::uint32_t readEnd = readEndAfter(firstSector + count, overlap);
  const std::uint32_t sectors = readEnd - from;
  const ReadResult read = readSectors(from, sectors, state.read.data());
  if (read != ReadResult::kOk) return read;

  const std::size_t readBytes = std::size_t{sectors} * kSectorBytes;
  const auto match = findReferenceSector(state.read.data(), readBytes, target.sector, before,
                                         state.drift, target.sectors);
  if (!match) return ReadResult::kOk;
  const ResyncCopy copy =
      planResyncCopy(*match + std::size_t{distance - 1} * kSectorBytes, readBytes, count);
  if (copy.complete) {
    std::memcpy(dest, state.read.data() + copy.from, copy.copyBytes);
    matchDrift = static_cast<std::int64_t>(*match) -
                 static_cast<std::int64_t>(expectedReferencePosition(before));
    return ReadResult::kOk;
  }
  if (readEnd == readableEnd() && (!state.havePartial || copy.copyBytes > state.partialBytes)) {
    std::memcpy(state.partial.data(), state.read.data() + copy.from, copy.copyBytes);
    state.partialBytes = copy.copyBytes;
    state.havePartial = true;
  }
  return ReadResult::kOk;
}

}  // namespace rondel
