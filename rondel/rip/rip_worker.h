#pragma once
// The rip worker: one thread per rip job, turning one track into one
// finished, tagged file. It locks the drive, runs the audio reader, feeds
// each block to the encoder, shows its progress and result in the track's
// status cell, and hands control back to its owner, which starts the next
// job.
#include <cstdint>
#include <memory>
#include <string>

#include "rondel/rip/rip_job.h"

namespace rondel {

// What a rip worker needs of the window that started it. Every method is
// called on the worker thread.
class RipOwner {
 public:
  virtual ~RipOwner() = default;
  // Writes `text` into the status cell of the row whose item data is
  // `trackNumber` (through the list model, which is safe from any thread).
  virtual void setTrackStatus(std::uint32_t trackNumber, const char* text) = 0;
  // The window's cancel flag ("Cancel copying", or the window going away).
  virtual bool cancelRequested() const = 0;
  // The file the job wrote, as the encoder named it on its finished close
  // (Windows form); called only for a job that ends "Copied".
  virtual void trackFileWritten(std::uint32_t trackNumber, const std::string& windowsPath) = 0;
  // The job has ended: its status is shown and the drive unlocked. The owner
  // clears its running-worker state and starts the next job (or finishes
  // the copy). This is the worker's last touch of the owner: after it
  // returns the worker only unwinds its own thread.
  virtual void ripWorkerEnded() = 0;
};

// One job as the worker receives it: a copy of the rip job and its owner.
struct RipWorkerContext : RipJob {
  RipOwner* owner = nullptr;
};

// The worker thread's procedure: runs the job to its end on the calling
// thread and consumes the context.
void RipWorker(std::unique_ptr<RipWorkerContext> context);

// The status texts a job ends with.
constexpr const char* kStatusCopied = "Copied";
constexpr const char* kStatusCancelled = "Cancelled";
constexpr const char* kStatusInitCddaFailed = "Error: InitCDDA() failed!";
constexpr const char* kStatusBeginCddaFailed = "Error: BeginCDDA() failed!";
constexpr const char* kStatusInitCompressFailed = "Error: ACDIInitCompress() failed!";
constexpr const char* kStatusReadFailed = "Error: ReadCDDA() failed!";
constexpr const char* kStatusCompressFailed = "Error: ACDICompress() failed!";
// The drive no longer holds the disc the job was built from (taken out,
// swapped, or another drive chosen): nothing is read or written.
constexpr const char* kStatusDiscChanged = "Error: Disc changed!";
// The job has no output path because "Output Folder" names a network share
// (\\server\share), which the component cannot write to.
constexpr const char* kStatusNetworkFolder = "Error: Output Folder is a network share!";

}  // namespace rondel
