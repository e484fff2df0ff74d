#include "rondel/net/http_get_request.h"

#include <algorithm>
#include <climits>
#include <new>
#include <stdexcept>

#include "platform/ascii.h"
#include "rondel/net/request_text.h"

namespace rondel {

namespace {

// Status line and header lines are taken through a buffer of this size:
// a longer line comes in pieces of one byte less.
constexpr int kLineBufferSize = 4096;

bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

bool startsWithIgnoringCase(const std::string& text, std::string_view prefix) {
  return platform::equalIgnoringAsciiCase(std::string_view(text).substr(0, prefix.size()), prefix);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Decoded chunked-body bytes kept for the caller before the ring is read on.
constexpr std::size_t kDecodedRoom = 16384;
// Content-Length and chunk sizes: more digits than this are refused.
constexpr std::size_t kMaxLengthDigits = 15;

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

HttpGetRequest::HttpGetRequest(NameResolver* resolver, int receiveBufferSize, const char* proxy) {
  init(resolver, receiveBufferSize, proxy != nullptr ? std::string_view(proxy) : std::string_view(),
       proxy != nullptr);
}

HttpGetRequest::HttpGetRequest(NameResolver* resolver, int receiveBufferSize, std::string_view proxy) {
  init(resolver, receiveBufferSize, proxy, true);
}

void HttpGetRequest::init(NameResolver* resolver, int receiveBufferSize, std::string_view proxy,
                          bool hasProxy) {
  resolver_ = resolver;
  receiveBufferSize_ = receiveBufferSize;
  if (hasProxy && !proxy.empty()) {
    const UrlParts parts = parseUrl(proxy);
    proxyHost_ = parts.host;
    proxyPort_ = parts.port;
    proxyCredentials_ = parts.credentials;
  }
}

HttpGetRequest::~HttpGetRequest() { discard(); }

void HttpGetRequest::discard() {
  // Bytes left in the ring were received all the same (a redirect reply's).
  if (connection_) consumed_ += static_cast<std::size_t>(connection_->bytesAvailable());
  connection_.reset();
  url_.clear();
  host_.clear();
  credentials_.clear();
  path_.clear();
  statusLine_.clear();
  errorText_.clear();
  port_ = 0;
  lineFeedMayFollow_ = false;
  inLongLine_ = false;
  headBytes_ = 0;
  hasLength_ = false;
  bodyLeft_ = 0;
  chunked_ = false;
  chunk_ = Chunk::kSize;
  chunkLeft_ = 0;
  decoded_.clear();
  decodedRead_ = 0;
}

void HttpGetRequest::fail(std::string text) {
  errorText_ = std::move(text);
  state_ = State::kFailed;
}

void HttpGetRequest::connect(std::string_view url, int minorVersion) {
  redirects_ = 0;
  start(url, minorVersion);
  consumed_ = 0;
}

void HttpGetRequest::setReplyLimits(std::size_t maxHeadBytes, std::size_t maxBytes) {
  maxHeadBytes_ = maxHeadBytes;
  maxBytes_ = maxBytes;
}

std::size_t HttpGetRequest::countedBytes() const {
  return consumed_ + (connection_ ? static_cast<std::size_t>(connection_->bytesAvailable()) : 0);
}

bool HttpGetRequest::headWithinCap() {
  if (headBytes_ <= maxHeadBytes_) return true;
  fail(kErrorHeadTooLarge);
  return false;
}

void HttpGetRequest::connect(const char* url, int minorVersion) {
  connect(url != nullptr ? std::string_view(url) : std::string_view(), minorVersion);
}

void HttpGetRequest::start(std::string_view url, int minorVersion) {
  discard();
  state_ = State::kWaiting;
  std::string request;
  try {
    url_ = std::string(url);
    const UrlParts parts = parseUrl(url_);
    host_ = parts.host;
    port_ = parts.port;
    credentials_ = parts.credentials;
    path_ = parts.path;
    // Line ends or NULs inside the URL would forge request lines.
    const bool forged = url_.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
    if (host_.empty() || port_ == 0 || forged) return fail("invalid URL");
    request = buildGetRequest(url_, parts, minorVersion, proxyHost_, proxyCredentials_);
    if (request.size() > static_cast<std::size_t>(INT_MAX - 4)) throw std::length_error("request");
  } catch (const std::exception&) {
    return fail("error allocating memory");
  }
  try {
    connection_ = std::make_unique<NetConnection>(resolver_, static_cast<int>(request.size()) + 4,
                                                  std::max(receiveBufferSize_, kMinReceiveSize));
  } catch (const std::exception&) {
    return fail("could not create connection object");
  }
  const bool viaProxy = !proxyHost_.empty();
  const int port = viaProxy ? proxyPort_ : port_;
  const std::string& to = viaProxy ? proxyHost_ : host_;
  const auto toPort = static_cast<std::uint16_t>(port >= 0 && port <= 65535 ? port : 0);
  if (opener_)
    opener_(*connection_, to, toPort);
  else
    connection_->connect(to, toPort);
  connection_->sendString(request.c_str());
}

int HttpGetRequest::run() {
  if (state_ == State::kFailed || !connection_) return -1;
  for (int pass = 0; pass < 2; ++pass) {
    // Never receive more than one byte past the cap: passing it is enough
    // to know, and nothing beyond it is read.
    int allowance = -1;
    if (maxBytes_ != kNoLimit) {
      const std::size_t counted = countedBytes();
      const std::size_t left = counted <= maxBytes_ ? maxBytes_ - counted + 1 : 1;
      allowance = static_cast<int>(std::min<std::size_t>(left, INT_MAX));
    }
    connection_->step(-1, allowance);
    const NetConnection::State connectionState = connection_->getState();
    if (connectionState == NetConnection::State::kError) {
      errorText_ = connection_->getErrorText();
      return -1;
    }
    if (maxBytes_ != kNoLimit && countedBytes() > maxBytes_) {
      fail(kErrorReplyTooLarge);
      return -1;
    }
    // Lines that came in with the close are still read, so a reply that
    // arrives together with the end of the connection is not lost.
    const bool closed = connectionState == NetConnection::State::kClosed;
    dropSplitLineFeed();
    bool anotherPass = false;
    const int result = processLines(pass == 0 && !closed, &anotherPass);
    if (result < 0) return -1;
    if (result == 2) return 0;  // a redirect started a new request
    if (state_ == State::kBody) {
      const int end = bodyEnd(closed);
      if (end != 0) return end;
    }
    if (closed) return 1;
    if (!anotherPass) return 0;
  }
  return 0;
}

void HttpGetRequest::dropSplitLineFeed() {
  if (!lineFeedMayFollow_ || !connection_ || connection_->bytesAvailable() == 0) return;
  if (connection_->peekChar(0) == '\n') {
    connection_->peekChar(0, true);
    ++consumed_;
    ++headBytes_;
  }
  lineFeedMayFollow_ = false;
}

bool HttpGetRequest::takeLine(std::string& line, bool& continued) {
  NetConnection& c = *connection_;
  const int count = c.bytesAvailable();
  if (count == 0) return false;
  // Looks no further than one piece, so taking many short lines costs time
  // in proportion to their bytes (linesAvailable would rescan the ring).
  const int limit = std::min(count, kLineBufferSize - 1);
  int end = -1;
  for (int i = 0; i < limit && end < 0; ++i)
    if (isLineEnd(c.peekChar(i))) end = i;
  // A line without its end is taken only once it fills a whole piece.
  if (end < 0 && count < kLineBufferSize - 1) return false;
  const bool lastByteIsLoneCr = end >= 0 && end == count - 1 && c.peekChar(end) == '\r';

  char buffer[kLineBufferSize];
  const int before = c.bytesAvailable();
  const int result = c.getLine(buffer, kLineBufferSize);
  const auto taken = static_cast<std::size_t>(before - c.bytesAvailable());
  consumed_ += taken;
  headBytes_ += taken;
  line.assign(buffer, static_cast<std::size_t>(end >= 0 ? end : limit));
  continued = inLongLine_;
  inLongLine_ = result != 0;
  lineFeedMayFollow_ = result == 0 && lastByteIsLoneCr;
  return true;
}

int HttpGetRequest::processLines(bool firstPass, bool* wantAnotherPass) {
  std::string line;
  bool continued = false;
  for (;;) {
    switch (state_) {
      case State::kFailed:
        return -1;
      case State::kBody:
        return 0;
      case State::kWaiting: {
        if (!takeLine(line, continued)) {
          *wantAnotherPass = firstPass;
          return 0;
        }
        if (!headWithinCap()) return -1;
        if (continued) break;
        statusLine_ = line;
        const int code = getReplyCode();
        if (code == 200 || code == 206) {
          state_ = State::kHeaders;
        } else if (code == 301 || code == 302) {
          state_ = State::kRedirected;
        } else {
          fail(statusLine_);
          return -1;
        }
        break;
      }
      case State::kRedirected: {
        if (!takeLine(line, continued)) return 0;
        if (!headWithinCap()) return -1;
        if (continued) break;
        if (line.empty()) {  // end of headers and no target
          state_ = State::kFailed;
          return -1;
        }
        if (!startsWithIgnoringCase(line, "Location:")) break;
        std::size_t from = 9;
        while (from < line.size() && isBlank(line[from])) ++from;
        std::size_t to = line.size();
        while (to > from && isBlank(line[to - 1])) --to;
        if (to == from) break;  // an empty target is passed over
        followRedirect(line.substr(from, to - from));
        return state_ == State::kFailed ? -1 : 2;
      }
      case State::kHeaders: {
        if (!takeLine(line, continued)) {
          *wantAnotherPass = firstPass;
          return 0;
        }
        if (!headWithinCap()) return -1;
        if (continued) break;
        if (line.empty()) {
          state_ = State::kBody;
          // A chunked body's length is in its chunks (RFC 9112, 6.3).
          if (chunked_) hasLength_ = false;
          return 0;
        }
        if (!readFramingHeader(line)) return -1;
        break;
      }
    }
  }
}

void HttpGetRequest::followRedirect(const std::string& target) {
  if (redirects_ >= kMaxRedirects) return fail("too many redirects");
  ++redirects_;
  std::string next = target;
  if (target.rfind("//", 0) == 0) {
    next = "http:" + target;  // scheme-relative
  } else if (target[0] == '/') {
    // A path on the same server (allowed since RFC 7231).
    next = (credentials_.empty() ? std::string() : credentials_ + "@") + host_ + ":" +
           std::to_string(port_) + target;
  }
  // A redirected request always goes out as HTTP/1.0.
  start(next, 0);
}

bool HttpGetRequest::readFramingHeader(const std::string& line) {
  if (startsWithIgnoringCase(line, "Content-Length:")) {
    const std::string_view value = trimBlanks(std::string_view(line).substr(15));
    std::size_t length = 0;
    bool good = !value.empty() && value.size() <= kMaxLengthDigits;
    for (const char c : value) {
      if (c < '0' || c > '9') good = false;
      else length = length * 10 + static_cast<std::size_t>(c - '0');
    }
    if (!good || (hasLength_ && length != bodyLeft_)) {
      fail(kErrorBadLength);
      return false;
    }
    if (maxBytes_ != kNoLimit && length > maxBytes_) {
      fail(kErrorReplyTooLarge);
      return false;
    }
    hasLength_ = true;
    bodyLeft_ = length;
  } else if (startsWithIgnoringCase(line, "Transfer-Encoding:")) {
    // A list of codings; only "chunked" (last) and "identity" are read.
    const std::string value = platform::asciiLowered(trimBlanks(std::string_view(line).substr(18)));
    std::string_view rest = value;
    bool chunked = false;
    while (!rest.empty()) {
      const std::size_t comma = rest.find(',');
      const std::string_view coding = trimBlanks(rest.substr(0, comma));
      rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
      if (coding.empty() || coding == "identity") continue;
      if (coding == "chunked" && !chunked) {
        chunked = true;
        continue;
      }
      fail(std::string(kErrorCoding) + ": " + value);
      return false;
    }
    // "chunked" must be the last coding; one after it is refused above.
    if (chunked) chunked_ = true;
  }
  return true;
}

int HttpGetRequest::takeRaw(char* buffer, int count) {
  const int got = connection_->getBytes(buffer, count);
  consumed_ += static_cast<std::size_t>(got);
  return got;
}

int HttpGetRequest::takeChunkLine(std::string& line) {
  NetConnection& c = *connection_;
  const int count = c.bytesAvailable();
  const int limit = std::min(count, static_cast<int>(kMaxChunkLine) + 2);
  int end = -1;
  for (int i = 0; i < limit && end < 0; ++i)
    if (c.peekChar(i) == '\n') end = i;
  // An unfinished line at the close is a cut-short body (bodyEnd).
  if (end < 0) return count > static_cast<int>(kMaxChunkLine) + 1 ? -1 : 0;
  line.resize(static_cast<std::size_t>(end) + 1);
  takeRaw(line.data(), end + 1);
  line.pop_back();  // LF
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return 1;
}

int HttpGetRequest::decodeChunks(bool closed) {
  NetConnection& c = *connection_;
  std::string line;
  while (chunk_ != Chunk::kDone) {
    // At the close everything left is decoded (at most one ring's worth).
    if (!closed && decoded_.size() - decodedRead_ >= kDecodedRoom) return 0;
    switch (chunk_) {
      case Chunk::kSize: {
        const int got = takeChunkLine(line);
        if (got < 0) break;
        if (got == 0) return 0;
        // chunk-size = 1*HEXDIG, then blanks and ";extensions" at will.
        std::size_t i = 0, size = 0;
        for (; i < line.size() && platform::hexDigitValue(line[i]) >= 0; ++i) {
          if (i >= kMaxLengthDigits) break;
          size = size * 16 + static_cast<std::size_t>(platform::hexDigitValue(line[i]));
        }
        std::size_t rest = i;
        while (rest < line.size() && isBlank(line[rest])) ++rest;
        if (i == 0 || i >= kMaxLengthDigits || (rest < line.size() && line[rest] != ';')) break;
        if (maxBytes_ != kNoLimit && size > maxBytes_) {
          fail(kErrorReplyTooLarge);
          return -1;
        }
        chunkLeft_ = size;
        chunk_ = size == 0 ? Chunk::kTrailer : Chunk::kData;
        continue;
      }
      case Chunk::kData: {
        if (c.bytesAvailable() == 0) return 0;
        char piece[4096];
        const int want = static_cast<int>(std::min<std::size_t>(
            {chunkLeft_, static_cast<std::size_t>(c.bytesAvailable()), sizeof piece}));
        const int got = takeRaw(piece, want);
        decoded_.append(piece, static_cast<std::size_t>(got));
        chunkLeft_ -= static_cast<std::size_t>(got);
        if (chunkLeft_ == 0) chunk_ = Chunk::kDataEnd;
        continue;
      }
      case Chunk::kDataEnd: {
        const int got = takeChunkLine(line);
        if (got == 0) return 0;
        if (got < 0 || !line.empty()) break;
        chunk_ = Chunk::kSize;
        continue;
      }
      case Chunk::kTrailer: {
        // Trailer fields are passed over up to the empty line.
        const int got = takeChunkLine(line);
        if (got < 0) break;
        if (got == 0) return 0;
        if (line.empty()) chunk_ = Chunk::kDone;
        continue;
      }
      case Chunk::kDone:
        return 0;
    }
    fail(kErrorBadChunk);
    return -1;
  }
  return 0;
}

int HttpGetRequest::bodyEnd(bool closed) {
  if (chunked_) {
    if (decodeChunks(closed) < 0) return -1;
    if (chunk_ == Chunk::kDone) return 1;
  } else if (hasLength_) {
    if (static_cast<std::size_t>(connection_->bytesAvailable()) >= bodyLeft_) return 1;
  } else {
    return closed ? 1 : 0;
  }
  if (!closed) return 0;
  fail(kErrorCutShort);
  return -1;
}

int HttpGetRequest::getStatus() const {
  switch (state_) {
    case State::kFailed:
      return kStatusFailed;
    case State::kWaiting:
    case State::kRedirected:
      return kStatusWaiting;
    case State::kHeaders:
      return kStatusHeaders;
    case State::kBody:
      return kStatusBody;
  }
  return kStatusFailed;
}

int HttpGetRequest::getReplyCode() const {
  const std::size_t space = statusLine_.find(' ');
  if (space == std::string::npos) return 0;
  const long long code = parseLeadingNumber(std::string_view(statusLine_).substr(space + 1));
  return static_cast<int>(std::clamp<long long>(code, INT_MIN, INT_MAX));
}

int HttpGetRequest::bytesAvailable() const {
  if (state_ != State::kBody || !connection_) return 0;
  if (chunked_) return static_cast<int>(decoded_.size() - decodedRead_);
  const int waiting = connection_->bytesAvailable();
  if (hasLength_) return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(waiting), bodyLeft_));
  return waiting;
}

int HttpGetRequest::getBytes(char* buffer, int count) {
  if (state_ != State::kBody || !connection_ || count <= 0) return 0;
  if (chunked_) {
    const std::size_t n = std::min(static_cast<std::size_t>(count), decoded_.size() - decodedRead_);
    decoded_.copy(buffer, n, decodedRead_);
    decodedRead_ += n;
    if (decodedRead_ == decoded_.size()) {
      decoded_.clear();
      decodedRead_ = 0;
    }
    return static_cast<int>(n);
  }
  if (hasLength_) count = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(count), bodyLeft_));
  const int got = takeRaw(buffer, count);
  if (hasLength_) bodyLeft_ -= static_cast<std::size_t>(got);
  return got;
}

bool HttpGetRequest::connecting() const {
  if (!connection_ || state_ == State::kFailed) return false;
  const NetConnection::State s = connection_->getState();
  return s == NetConnection::State::kIdle || s == NetConnection::State::kResolving ||
         s == NetConnection::State::kConnecting;
}

}  // namespace rondel
