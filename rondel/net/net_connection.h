#pragma once
// One non-blocking TCP connection with a send ring and a receive ring. Its
// owner calls step() again and again; every call does only what can be done
// without waiting. Host names go through a NameResolver.
//
// Threads: one thread, the owner, uses a NetConnection; nothing in it is
// locked (its resolver has its own worker, see name_resolver.h).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rondel/net/name_resolver.h"

namespace rondel {

// A socket descriptor closed when the object goes.
class SocketHandle {
 public:
  SocketHandle() = default;
  explicit SocketHandle(int fd) : fd_(fd) {}
  ~SocketHandle() { reset(); }
  SocketHandle(const SocketHandle&) = delete;
  SocketHandle& operator=(const SocketHandle&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Shuts the socket down in both directions and closes it.
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

class NetConnection {
 public:
  enum class State { kError, kIdle, kResolving, kConnecting, kConnected, kClosed };

  // Error texts (getErrorText()).
  static constexpr const char* kErrorCreatingSocket = "creating socket";
  static constexpr const char* kErrorEmptyHostname = "empty hostname";
  static constexpr const char* kErrorResolving = "resolving hostname";
  static constexpr const char* kErrorConnecting = "connecting to host";
  static constexpr const char* kErrorSelect = "connecting to host (calling select())";

  static constexpr std::size_t kMaxHostLength = 255;

  // `resolver` may be null: the connection then makes a resolver of 64
  // entries and owns it. Sizes below 1 are taken as 1. Throws std::bad_alloc
  // when the rings cannot be had.
  NetConnection(NameResolver* resolver, int sendSize, int receiveSize);
  ~NetConnection();
  NetConnection(const NetConnection&) = delete;
  NetConnection& operator=(const NetConnection&) = delete;

  // Starts a new connection to host:port (closing what was open).
  void connect(std::string_view host, std::uint16_t port);
  // Does what can be done now: resolve, connect, send, receive. Negative
  // allowances mean "up to the buffer size". The counters, when given, are
  // set to the bytes sent and received in this call.
  void step(int maxSend = -1, int maxReceive = -1, int* sent = nullptr, int* received = nullptr);
  // Closes the socket, empties both rings, forgets host and port; state closed.
  void closeNow();

  // 0, or -1 (nothing queued) when fewer than `length` bytes are free.
  int sendBytes(const void* data, int length);
  int sendString(const char* text);
  int sendCount() const { return sendCount_; }

  int bytesAvailable() const { return receiveCount_; }
  int peekBytes(void* buffer, int length) const;
  int getBytes(void* buffer, int length);
  // The byte at `position` from the read position (0..255), or -1 outside
  // the received bytes; with `take` one byte is taken from the read position.
  int peekChar(int position, bool take = false);
  // Line ends among the received bytes (CR LF and LF CR count once).
  int linesAvailable() const;
  // Takes one line into `buffer` (NUL-terminated, line end dropped): 0 when
  // a whole line was taken, 1 when the buffer filled first or nothing waits.
  int getLine(char* buffer, int size);

  // Seams for fuzzing and tests, with no socket: `attachWithoutSocket`
  // makes the connection connected to nothing (nothing is sent, step()
  // receives nothing); the caller supplies the received bytes and the close.
  void attachWithoutSocket(std::string_view host, std::uint16_t port);
  // Copies as many bytes as the receive ring has room for; gives how many.
  int feedReceived(const void* data, int length);
  void feedClose();

  State getState() const { return state_; }
  const char* getErrorText() const { return errorText_.c_str(); }

  // For waiting on the connection (poll): the descriptor, -1 without one.
  int socketHandle() const { return socket_.get(); }
  const std::string& hostName() const { return hostName_; }
  std::uint16_t port() const { return port_; }
  NameResolver* resolver() const { return resolver_; }
  bool addressKnown() const { return addressKnown_; }
  int receiveSize() const { return receiveSize_; }
  int sendSize() const { return sendSize_; }

 private:
  // `error`: the errno behind it, whose text is added ("connecting to host:
  // Connection refused"); 0 for none.
  void setError(const char* text, int error = 0);
  void startConnect();
  void pollConnect();
  void sendQueued(int& allowance, int& sentTotal);
  void receive(int& allowance, int& receivedTotal);
  // Receives into [at, at + length) of the ring; false when the connection
  // ended (closed by the peer or broken).
  bool receiveInto(int at, int length, int& allowance, int& receivedTotal);
  unsigned char receivedAt(int position) const;

  SocketHandle socket_;
  std::uint16_t port_ = 0;
  std::vector<unsigned char> receiveBuffer_;
  std::vector<unsigned char> sendBuffer_;
  const int receiveSize_;
  const int sendSize_;
  int receiveWrite_ = 0;  // where the next received byte goes
  int receiveCount_ = 0;  // received bytes waiting to be taken
  int sendRead_ = 0;      // where the next byte to send lies
  int sendCount_ = 0;     // bytes waiting to be sent
  std::uint32_t peerAddress_ = 0;  // network byte order, valid when addressKnown_
  bool addressKnown_ = false;
  std::string hostName_;  // at most kMaxHostLength characters
  NameResolver* resolver_ = nullptr;
  std::unique_ptr<NameResolver> ownResolver_;
  State state_ = State::kIdle;
  std::string errorText_;  // one of the fixed texts above (with the system's reason), or ""
};

}  // namespace rondel
