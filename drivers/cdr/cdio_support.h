#pragma once
// What the libcdio-backed drives (disc images, real devices) share: setting
// libcdio up once, a handle that closes itself, and the table of contents as
// libcdio reports it, checked before anything trusts it.
#include <cdio/cdio.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "drivers/cdr/toc.h"

namespace cdr {

// libcdio keeps process-wide state on its open, close and device-listing
// paths (the driver table, its parsers' state); every one of those calls
// runs under this mutex, from whichever thread makes it. Reads and commands
// on an open handle need only the drive's own mutex.
std::mutex& cdioMutex();

// Initialises libcdio once (any thread, idempotent) and routes its messages:
// errors become "cdr.dll: libcdio: ..." lines on stderr; its warnings are
// dropped, as this library says itself what it skipped and why. The previous
// handler comes back when the library is unloaded.
void initCdio();

struct CdioCloser {
  void operator()(CdIo_t* cdio) const;  // cdio_destroy under cdioMutex()
};
using CdioHandle = std::unique_ptr<CdIo_t, CdioCloser>;

// The disc's tracks as libcdio reports them (track numbers, starts, track
// formats, lead-out), checked with layoutFromReport. "" on success,
// otherwise why not.
std::string readLayout(const CdIo_t* cdio, std::uint32_t& firstTrack,
                       std::vector<TrackLayout>& tracks);

}  // namespace cdr
