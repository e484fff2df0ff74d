// The calls a process makes on the emulated device path, answered by the
// emulated drive; every other path and descriptor goes to the real call.
// Loaded with LD_PRELOAD before libcdio, so libcdio's own Linux driver and
// cdr.dll's device backend run unchanged above it.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <stdarg.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "drive_model.h"
#include "interpose.h"
#include "sg_driver.h"

namespace {

using emulated_drive::Answer;
using emulated_drive::isDriveFd;
using emulated_drive::isDrivePath;
using emulated_drive::real;

// The drive, its script's path and the descriptors open on it; all under
// g_mutex. A command's wait is slept after the mutex is released.
std::mutex g_mutex;
emulated_drive::Drive* g_drive = nullptr;  // the current one, made on first use
// Every drive made, never freed: a call may still be on a replaced one.
std::vector<std::unique_ptr<emulated_drive::Drive>>* g_made =
    new std::vector<std::unique_ptr<emulated_drive::Drive>>;
std::string g_loaded;                      // the script it was made from
std::set<int> g_fds;
emulated_drive::SgDriver g_sg;  // the block layer's SCSI generic settings

// A drive from a script, kept for ever; null (said on stderr) when the
// script cannot be used. Under g_mutex.
emulated_drive::Drive* make(const char* script) {
  auto made = std::make_unique<emulated_drive::Drive>();
  const std::string why = made->load(script);
  if (!why.empty()) {
    std::fprintf(stderr, "emulated drive: %s\n", why.c_str());
    return nullptr;
  }
  g_made->push_back(std::move(made));
  return g_made->back().get();
}

// The drive, made from EMULATED_DRIVE on first use. Null when unset or
// broken (said once on stderr). Under g_mutex.
emulated_drive::Drive* drive() {
  if (g_drive != nullptr || !g_loaded.empty()) return g_drive;
  const char* script = std::getenv("EMULATED_DRIVE");
  if (script == nullptr || *script == '\0') return nullptr;
  g_loaded = script;
  g_drive = make(script);
  return g_drive;
}

int openDrive() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_drive->unplugged()) {
      errno = ENOENT;
      return -1;
    }
  }
  // A real descriptor keeps the number taken until close.
  const int fd = real<int (*)(const char*, int, ...)>("open")("/dev/null", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fd;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_fds.insert(fd);
  g_drive->control("count_open");
  return fd;
}

void writeSense(const emulated_drive::Sense& sense, std::uint8_t* out, std::size_t room) {
  std::uint8_t bytes[18] = {};
  if (sense.present) {
    bytes[0] = 0x70;
    bytes[2] = sense.key;
    bytes[7] = 10;
    bytes[12] = sense.asc;
    bytes[13] = sense.ascq;
  }
  std::memcpy(out, bytes, std::min(room, sizeof bytes));
}

long sendPacket(cdrom_generic_command* command) {
  if (command == nullptr) return -EFAULT;
  if (command->buffer == nullptr && command->buflen != 0) return -EFAULT;  // as the kernel's copy fails
  if (command->buflen > static_cast<unsigned>(emulated_drive::SgDriver::kMaxTransferBytes)) return -EIO;
  Answer answer;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    const bool reading = command->data_direction == CGC_DATA_READ;
    const bool writing = command->data_direction == CGC_DATA_WRITE;
    answer = g_drive->packet(command->cmd, sizeof command->cmd, reading ? command->buffer : nullptr,
                             reading ? command->buflen : 0, static_cast<unsigned>(command->timeout),
                             writing ? command->buffer : nullptr, writing ? command->buflen : 0);
  }
  std::this_thread::sleep_for(answer.wait);
  if (command->sense != nullptr)
    writeSense(answer.sense, reinterpret_cast<std::uint8_t*>(command->sense), sizeof(request_sense));
  if (answer.good) {
    command->stat = 0;
    return 0;
  }
  command->stat = answer.timedOut ? 0 : 2;  // CHECK CONDITION
  return -EIO;
}

long sgIo(sg_io_hdr_t* header) {
  if (header == nullptr) return -EFAULT;
  if (header->interface_id != 'S') return -ENOSYS;
  // What the kernel refuses before a command reaches the drive.
  if (header->cmdp == nullptr || header->cmd_len < 6 || header->cmd_len > 16) return -EINVAL;
  if (header->dxfer_direction != SG_DXFER_NONE && header->dxfer_len != 0 && header->dxferp == nullptr)
    return -EFAULT;
  // More than the host adapter takes in one command.
  if (header->dxfer_len > static_cast<unsigned>(emulated_drive::SgDriver::kMaxTransferBytes)) return -EIO;
  Answer answer;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    // TO_FROM_DEV is a read too: the kernel copies the buffer in first and
    // the device's data over it.
    const bool reading = header->dxfer_direction == SG_DXFER_FROM_DEV ||
                         header->dxfer_direction == SG_DXFER_TO_FROM_DEV;
    const bool writing = header->dxfer_direction == SG_DXFER_TO_DEV;
    answer = g_drive->packet(header->cmdp, header->cmd_len,
                             reading ? static_cast<std::uint8_t*>(header->dxferp) : nullptr,
                             reading ? header->dxfer_len : 0, header->timeout,
                             writing ? static_cast<const std::uint8_t*>(header->dxferp) : nullptr,
                             writing ? header->dxfer_len : 0);
  }
  std::this_thread::sleep_for(answer.wait);
  header->sb_len_wr = 0;
  header->status = header->masked_status = 0;
  header->host_status = header->driver_status = 0;
  header->resid = 0;
  if (answer.timedOut) {
    header->host_status = 0x03;  // DID_TIME_OUT
    return 0;
  }
  if (!answer.good) {
    header->status = 0x02;
    header->masked_status = 0x01;
    header->driver_status = 0x08;  // DRIVER_SENSE
    if (header->sbp != nullptr && header->mx_sb_len > 0 && answer.sense.present) {
      writeSense(answer.sense, header->sbp, header->mx_sb_len);
      header->sb_len_wr = static_cast<unsigned char>(std::min<unsigned>(header->mx_sb_len, 18));
    }
    return 0;
  }
  if (header->dxfer_direction == SG_DXFER_FROM_DEV || header->dxfer_direction == SG_DXFER_TO_FROM_DEV)
    header->resid = static_cast<int>(header->dxfer_len - answer.bytes);
  return 0;
}

long emulatedIoctl(int fd, unsigned long request, void* argument) {
  (void)fd;
  if (request == CDROM_SEND_PACKET) return sendPacket(static_cast<cdrom_generic_command*>(argument));
  if (request == SG_IO) return sgIo(static_cast<sg_io_hdr_t*>(argument));
  std::chrono::milliseconds wait{0};
  long result;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_drive->unplugged() && g_sg.ioctl(request, argument, result)) return result;
    result = g_drive->ioctl(request, argument, wait);
  }
  std::this_thread::sleep_for(wait);
  return result;
}

int openCommon(const char* path, int flags, mode_t mode, const char* name) {
  if (isDrivePath(path)) return openDrive();
  return real<int (*)(const char*, int, ...)>(name)(path, flags, mode);
}

}  // namespace

namespace emulated_drive {

bool isDrivePath(const char* path) {
  if (path == nullptr) return false;
  std::lock_guard<std::mutex> lock(g_mutex);
  emulated_drive::Drive* d = drive();
  return d != nullptr && d->path() == path;
}

bool isDriveFd(int fd) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_fds.count(fd) != 0;
}

bool nodeGone() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_drive == nullptr || g_drive->unplugged();
}

}  // namespace emulated_drive

// The project builds with hidden symbols; these must be seen by the
// dynamic linker, ahead of the C library's.
#define EXPORTED __attribute__((visibility("default")))

extern "C" {

// For tests in the same process: load a script (null: the one named by
// EMULATED_DRIVE again), control the drive, read its state.
EXPORTED int emulated_drive_load(const char* script) {
  std::lock_guard<std::mutex> lock(g_mutex);
  emulated_drive::Drive* made = make(script);
  if (made == nullptr) return -1;
  g_drive = made;
  g_loaded = script;
  return 0;
}

EXPORTED int emulated_drive_control(const char* what) {
  std::lock_guard<std::mutex> lock(g_mutex);
  return drive() != nullptr && g_drive->control(what) ? 0 : -1;
}

// The state as JSON into out (NUL-terminated, cut to room); its length.
EXPORTED int emulated_drive_status(char* out, int room) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const std::string text = drive() != nullptr ? g_drive->statusJson() : "{}";
  if (room > 0) {
    const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(room - 1));
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
  }
  return static_cast<int>(text.size());
}

EXPORTED int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
  va_end(args);
  return openCommon(path, flags, mode, "open");
}

EXPORTED int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
  va_end(args);
  return openCommon(path, flags, mode, "open64");
}

EXPORTED int __open_2(const char* path, int flags) { return openCommon(path, flags, 0, "open"); }
EXPORTED int __open64_2(const char* path, int flags) { return openCommon(path, flags, 0, "open64"); }

EXPORTED int close(int fd) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_fds.erase(fd);
  }
  return real<int (*)(int)>("close")(fd);
}

// A copy of a descriptor is open on the same device; a descriptor that a
// copy replaces is closed first.
int adoptCopy(int from, int copy) {
  if (copy < 0) return copy;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_fds.count(from) != 0) g_fds.insert(copy);
  else g_fds.erase(copy);
  return copy;
}

EXPORTED int dup(int fd) noexcept { return adoptCopy(fd, real<int (*)(int)>("dup")(fd)); }
EXPORTED int dup2(int fd, int to) noexcept {
  return adoptCopy(fd, real<int (*)(int, int)>("dup2")(fd, to));
}
EXPORTED int dup3(int fd, int to, int flags) noexcept {
  return adoptCopy(fd, real<int (*)(int, int, int)>("dup3")(fd, to, flags));
}
EXPORTED int fcntl(int fd, int command, ...) {
  va_list args;
  va_start(args, command);
  // Every command's third argument fits a pointer-sized word.
  void* argument = va_arg(args, void*);
  va_end(args);
  const int result = real<int (*)(int, int, ...)>("fcntl")(fd, command, argument);
  return command == F_DUPFD || command == F_DUPFD_CLOEXEC ? adoptCopy(fd, result) : result;
}
EXPORTED int fcntl64(int fd, int command, ...) {
  va_list args;
  va_start(args, command);
  void* argument = va_arg(args, void*);
  va_end(args);
  auto next = real<int (*)(int, int, ...)>("fcntl64");
  if (next == nullptr) next = real<int (*)(int, int, ...)>("fcntl");  // older C libraries
  const int result = next(fd, command, argument);
  return command == F_DUPFD || command == F_DUPFD_CLOEXEC ? adoptCopy(fd, result) : result;
}

EXPORTED int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  if (isDriveFd(fd)) {
    const long result = emulatedIoctl(fd, request, argument);
    if (result < 0) {
      errno = static_cast<int>(-result);
      return -1;
    }
    return static_cast<int>(result);
  }
  return real<int (*)(int, unsigned long, ...)>("ioctl")(fd, request, argument);
}

}  // extern "C"
