#include "rondel/net/net_connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace rondel {

namespace {

bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

}  // namespace

void SocketHandle::reset(int fd) {
  if (fd_ >= 0) {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
  }
  fd_ = fd;
}

NetConnection::NetConnection(NameResolver* resolver, int sendSize, int receiveSize)
    : receiveBuffer_(static_cast<std::size_t>(std::max(receiveSize, 1))),
      sendBuffer_(static_cast<std::size_t>(std::max(sendSize, 1))),
      receiveSize_(std::max(receiveSize, 1)),
      sendSize_(std::max(sendSize, 1)),
      resolver_(resolver) {
  if (resolver_ == nullptr) {
    ownResolver_ = std::make_unique<NameResolver>(NameResolver::kDefaultCapacity);
    resolver_ = ownResolver_.get();
  }
}

// The socket closes before the owned resolver waits for its worker.
NetConnection::~NetConnection() { socket_.reset(); }

void NetConnection::setError(const char* text, int error) {
  errorText_ = text;
  // The system's words tell a refused connection from an unreachable host.
  if (error != 0) errorText_ += std::string(": ") + std::strerror(error);
  state_ = State::kError;
}

void NetConnection::closeNow() {
  socket_.reset();
  std::fill(receiveBuffer_.begin(), receiveBuffer_.end(), 0);
  std::fill(sendBuffer_.begin(), sendBuffer_.end(), 0);
  receiveWrite_ = receiveCount_ = sendRead_ = sendCount_ = 0;
  port_ = 0;
  hostName_.clear();
  peerAddress_ = 0;
  addressKnown_ = false;
  state_ = State::kClosed;
}

void NetConnection::connect(std::string_view host, std::uint16_t port) {
  closeNow();
  errorText_ = "";
  port_ = port;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return setError(kErrorCreatingSocket);
  socket_.reset(fd);
  // A blocking socket would make step() wait, which it must never do.
  const int flags = ::fcntl(fd, F_GETFL, 0);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
    return setError(kErrorCreatingSocket);
  hostName_ = std::string(host.substr(0, kMaxHostLength));
  if (hostName_.empty()) return setError(kErrorEmptyHostname);
  state_ = State::kResolving;
  in_addr parsed{};
  addressKnown_ = ::inet_aton(hostName_.c_str(), &parsed) != 0;
  peerAddress_ = addressKnown_ ? parsed.s_addr : 0;
}

void NetConnection::startConnect() {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port_);
  peer.sin_addr.s_addr = peerAddress_;
  if (::connect(socket_.get(), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
    state_ = State::kConnected;
  } else if (errno == EINPROGRESS || errno == EAGAIN || errno == EINTR) {
    state_ = State::kConnecting;
  } else {
    setError(kErrorConnecting, errno);
  }
}

void NetConnection::pollConnect() {
  // poll rather than select: a descriptor beyond FD_SETSIZE is fine here.
  pollfd p{socket_.get(), POLLIN | POLLOUT, 0};
  const int ready = ::poll(&p, 1, 0);
  if (ready < 0) {
    if (errno != EINTR) setError(kErrorSelect);
    return;
  }
  if (ready == 0) return;
  // A failed connect shows as writable (and as an error) on POSIX: the
  // socket's pending error tells the two apart.
  int pending = 0;
  socklen_t length = sizeof pending;
  if (::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, &pending, &length) != 0) pending = errno;
  if (pending == 0 && (p.revents & POLLOUT) != 0 && (p.revents & POLLERR) == 0)
    state_ = State::kConnected;
  else if (pending != 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
    setError(kErrorConnecting, pending);
}

void NetConnection::step(int maxSend, int maxReceive, int* sent, int* received) {
  int sentTotal = 0;
  int receivedTotal = 0;
  if (state_ == State::kResolving) {
    if (!addressKnown_) {
      std::uint32_t address = 0;
      const int result = resolver_ != nullptr ? resolver_->resolve(hostName_, &address) : -1;
      if (result < 0) {
        setError(kErrorResolving);
      } else if (result == 0) {
        peerAddress_ = address;
        addressKnown_ = true;
      }
    }
    if (state_ == State::kResolving && addressKnown_) startConnect();
  } else if (state_ == State::kConnecting) {
    pollConnect();
  }
  if (state_ == State::kConnected && socket_.valid()) {
    int sendAllowance = maxSend < 0 ? sendSize_ : maxSend;
    int receiveAllowance = maxReceive < 0 ? receiveSize_ : maxReceive;
    sendQueued(sendAllowance, sentTotal);
    receive(receiveAllowance, receivedTotal);
  }
  if (sent != nullptr) *sent = sentTotal;
  if (received != nullptr) *received = receivedTotal;
}

void NetConnection::sendQueued(int& allowance, int& sentTotal) {
  // At most two sends: up to the end of the ring, then from its start.
  for (int piece = 0; piece < 2 && sendCount_ > 0 && allowance > 0; ++piece) {
    const int length = std::min({sendSize_ - sendRead_, sendCount_, allowance});
    const ssize_t n = ::send(socket_.get(), sendBuffer_.data() + sendRead_,
                             static_cast<std::size_t>(length), MSG_NOSIGNAL);
    if (n <= 0) return;  // the bytes stay queued; a broken peer shows on receive
    const int done = static_cast<int>(n);
    allowance -= done;
    sentTotal += done;
    sendCount_ -= done;
    sendRead_ += done;
    if (sendRead_ < sendSize_) return;
    sendRead_ = 0;
  }
}

bool NetConnection::receiveInto(int at, int length, int& allowance, int& receivedTotal) {
  const ssize_t n = ::recv(socket_.get(), receiveBuffer_.data() + at, static_cast<std::size_t>(length), 0);
  if (n == 0 || (n < 0 && !wouldBlock(errno))) {
    // Closed by the peer or broken: what was received stays to be taken.
    socket_.reset();
    state_ = State::kClosed;
    return false;
  }
  if (n > 0) {
    const int done = static_cast<int>(n);
    allowance -= done;
    receivedTotal += done;
    receiveCount_ += done;
    receiveWrite_ += done;
    if (receiveWrite_ == receiveSize_) receiveWrite_ = 0;
  }
  return true;
}

void NetConnection::receive(int& allowance, int& receivedTotal) {
  if (receiveCount_ >= receiveSize_) return;
  int length = std::min({receiveSize_ - receiveWrite_, receiveSize_ - receiveCount_, allowance});
  if (length <= 0) return;
  const int before = receiveWrite_;
  if (!receiveInto(receiveWrite_, length, allowance, receivedTotal)) return;
  // Only a receive that reached the ring's end goes on at its start.
  if (receiveWrite_ != 0 || before + length != receiveSize_ ||
      receivedTotal == 0 || receiveCount_ >= receiveSize_)
    return;
  length = std::min(receiveSize_ - receiveCount_, allowance);
  if (length > 0) receiveInto(0, length, allowance, receivedTotal);
}

void NetConnection::attachWithoutSocket(std::string_view host, std::uint16_t port) {
  closeNow();
  errorText_ = "";
  port_ = port;
  hostName_ = std::string(host.substr(0, kMaxHostLength));
  state_ = State::kConnected;
}

int NetConnection::feedReceived(const void* data, int length) {
  if (data == nullptr || length <= 0 || state_ != State::kConnected || socket_.valid()) return 0;
  const auto* bytes = static_cast<const unsigned char*>(data);
  int fed = 0;
  while (fed < length && receiveCount_ < receiveSize_) {
    const int n = std::min({length - fed, receiveSize_ - receiveWrite_, receiveSize_ - receiveCount_});
    std::memcpy(receiveBuffer_.data() + receiveWrite_, bytes + fed, static_cast<std::size_t>(n));
    fed += n;
    receiveCount_ += n;
    receiveWrite_ = (receiveWrite_ + n) % receiveSize_;
  }
  return fed;
}

void NetConnection::feedClose() {
  if (state_ == State::kConnected && !socket_.valid()) state_ = State::kClosed;
}

int NetConnection::sendBytes(const void* data, int length) {
  if (length < 0 || (length > 0 && data == nullptr)) return -1;
  if (sendSize_ - sendCount_ < length) return -1;
  const auto* bytes = static_cast<const unsigned char*>(data);
  int write = (sendRead_ + sendCount_) % sendSize_;
  const int first = std::min(length, sendSize_ - write);
  std::memcpy(sendBuffer_.data() + write, bytes, static_cast<std::size_t>(first));
  std::memcpy(sendBuffer_.data(), bytes + first, static_cast<std::size_t>(length - first));
  sendCount_ += length;
  return 0;
}

int NetConnection::sendString(const char* text) {
  if (text == nullptr) return -1;
  const std::size_t length = std::strlen(text);
  if (length > static_cast<std::size_t>(sendSize_)) return -1;
  return sendBytes(text, static_cast<int>(length));
}

unsigned char NetConnection::receivedAt(int position) const {
  const int read = (receiveWrite_ - receiveCount_ + receiveSize_) % receiveSize_;
  return receiveBuffer_[static_cast<std::size_t>((read + position) % receiveSize_)];
}

int NetConnection::peekBytes(void* buffer, int length) const {
  if (buffer == nullptr || length <= 0) return 0;
  const int n = std::min(length, receiveCount_);
  const int read = (receiveWrite_ - receiveCount_ + receiveSize_) % receiveSize_;
  const int first = std::min(n, receiveSize_ - read);
  auto* out = static_cast<unsigned char*>(buffer);
  std::memcpy(out, receiveBuffer_.data() + read, static_cast<std::size_t>(first));
  std::memcpy(out + first, receiveBuffer_.data(), static_cast<std::size_t>(n - first));
  return n;
}

int NetConnection::getBytes(void* buffer, int length) {
  const int n = peekBytes(buffer, length);
  receiveCount_ -= n;
  return n;
}

int NetConnection::peekChar(int position, bool take) {
  if (position < 0 || position >= receiveCount_) return -1;
  const int value = receivedAt(position);
  if (take) --receiveCount_;
  return value;
}

int NetConnection::linesAvailable() const {
  int lines = 0;
  int previous = -1;
  for (int i = 0; i < receiveCount_; ++i) {
    const int c = receivedAt(i);
    // CR LF and LF CR are one line end; CR CR and LF LF are two.
    if (isLineEnd(c) && !(isLineEnd(previous) && previous != c)) ++lines;
    previous = c;
  }
  return lines;
}

int NetConnection::getLine(char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 1;
  const int n = std::min(size - 1, receiveCount_);
  if (n == 0) {
    buffer[0] = '\0';
    return 1;
  }
  int stored = 0;
  while (stored < n) {
    const int c = peekChar(0, true);
    if (c < 0) break;
    if (isLineEnd(c)) {
      const int next = peekChar(0, false);
      if (isLineEnd(next) && next != c) peekChar(0, true);
      buffer[stored] = '\0';
      return 0;
    }
    buffer[stored++] = static_cast<char>(c);
  }
  buffer[stored] = '\0';
  return 1;
}

}  // namespace rondel
