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
#include "sdk/rondel_window.h"

namespace rondel {

// A copied track's checksums over every sample handed to the encoder
// (CRC-32 of the bytes, AccurateRip v1 and v2), with its place among the
// disc's audio tracks.
struct TrackChecks {
  std::uint32_t audioIndex = 0;
  std::uint32_t crc32 = 0, accurateRipV1 = 0, accurateRipV2 = 0;
};

// What a rip worker needs of the session that started it (RipSession).
// Every method is called on the worker thread.
class RipOwner {
 public:
  virtual ~RipOwner() = default;
  // The job's status text for `trackNumber` ("Copying 7%...", then its end).
  virtual void setTrackStatus(std::uint32_t trackNumber, const char* text) = 0;
  // The session's cancel flag ("Cancel copying", or the window going away).
  virtual bool cancelRequested() const = 0;
  // The file the job wrote, as the encoder named it on its finished close
  // (Windows form); called only for a job that ends "Copied".
  virtual void trackFileWritten(std::uint32_t trackNumber, const std::string& windowsPath) = 0;
  // Why the job failed, beside its status, when the encoder library said
  // (UTF-8, "cannot create PATH: REASON"); only for a failed job.
  virtual void trackFailureReason(std::uint32_t /*trackNumber*/, const std::string& /*reason*/) {}
  // The track's checksums; called only for a job that ends "Copied", before
  // its status says so.
  virtual void trackChecked(std::uint32_t trackNumber, const TrackChecks& checks) = 0;
  // True when an earlier job of this copy wrote a file at this output path
  // (Windows form, without extension): the worker then numbers its own
  // name rather than overwrite that file.
  virtual bool pathWrittenBefore(const std::string& windowsPath) = 0;
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

// The status texts a job ends with (part of the window's outside contract).
using window::kStatusBeginCddaFailed;
using window::kStatusCancelled;
using window::kStatusCompressFailed;
using window::kStatusCopied;
using window::kStatusDiscChanged;
using window::kStatusInitCddaFailed;
using window::kStatusInitCompressFailed;
using window::kStatusNetworkFolder;
using window::kStatusNameTaken;
using window::kStatusOutsideFolder;
using window::kStatusReadFailed;

}  // namespace rondel
