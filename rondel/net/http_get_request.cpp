#include "rondel/net/http_get_request.h"

#include <algorithm>
#include <climits>
#include <new>
#include <stdexcept>

#include "rondel/net/request_text.h"

namespace rondel {

namespace {

// Status line and header lines are taken through a buffer of this size:
// a longer line comes in pieces of one byte less.
constexpr int kLineBufferSize = 4096;

bool isLineEnd(int c) { return c == '\r' || c == '\n'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithIgnoringCase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (lowerAscii(text[i]) != lowerAscii(prefix[i])) return false;
  return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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
}

void HttpGetRequest::fail(std::string text) {
  errorText_ = std::move(text);
  state_ = State::kFailed;
}

void HttpGetRequest::connect(std::string_view url, int minorVersion) {
  redirects_ = 0;
  start(url, minorVersion);
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
    connection_->step();
    const NetConnection::State connectionState = connection_->getState();
    if (connectionState == NetConnection::State::kError) {
      errorText_ = connection_->getErrorText();
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
    if (closed) return 1;
    if (!anotherPass) return 0;
  }
  return 0;
}

void HttpGetRequest::dropSplitLineFeed() {
  if (!lineFeedMayFollow_ || !connection_ || connection_->bytesAvailable() == 0) return;
  if (connection_->peekChar(0) == '\n') connection_->peekChar(0, true);
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
  const int result = c.getLine(buffer, kLineBufferSize);
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
        if (continued) break;
        if (line.empty()) {
          state_ = State::kBody;
          return 0;
        }
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
  return state_ == State::kBody && connection_ ? connection_->bytesAvailable() : 0;
}

int HttpGetRequest::getBytes(char* buffer, int count) {
  if (state_ != State::kBody || !connection_) return 0;
  return connection_->getBytes(buffer, count);
}

bool HttpGetRequest::connecting() const {
  if (!connection_ || state_ == State::kFailed) return false;
  const NetConnection::State s = connection_->getState();
  return s == NetConnection::State::kIdle || s == NetConnection::State::kResolving ||
         s == NetConnection::State::kConnecting;
}

}  // namespace rondel
