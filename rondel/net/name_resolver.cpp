#include "rondel/net/name_resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <ctime>
#include <memory>

#include "platform/ascii.h"

namespace rondel {

namespace {

std::uint32_t now() {
  const std::time_t t = std::time(nullptr);
  // 0 marks an empty slot, so a clock that says 1970 still counts as used.
  return t > 0 ? static_cast<std::uint32_t>(t) : 1;
}

// A dotted IPv4 address needs no look-up.
bool parseDotted(const std::string& name, std::uint32_t* address) {
  in_addr parsed{};
  if (::inet_aton(name.c_str(), &parsed) == 0) return false;
  *address = parsed.s_addr;
  return true;
}

}  // namespace

std::uint32_t NameResolver::lookupWithGetaddrinfo(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
    return INADDR_NONE;
  const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next)
    if (a->ai_family == AF_INET && a->ai_addr != nullptr &&
        a->ai_addrlen >= static_cast<socklen_t>(sizeof(sockaddr_in)))
      return reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
  return INADDR_NONE;
}

NameResolver::NameResolver(int capacity) : NameResolver(capacity, &lookupWithGetaddrinfo) {}

NameResolver::NameResolver(int capacity, LookupFunction lookup)
    : lookup_(lookup ? std::move(lookup) : LookupFunction(&lookupWithGetaddrinfo)),
      table_(static_cast<std::size_t>(capacity > 0 ? capacity : 1)) {}

NameResolver::~NameResolver() {
  idle_.store(true);  // stop request
  if (worker_.joinable()) worker_.join();
}

NameResolver::Entry* NameResolver::findLocked(std::string_view name) {
  for (Entry& e : table_)
    if (e.lastUse != 0 && platform::equalIgnoringAsciiCase(e.name, name)) return &e;
  return nullptr;
}

int NameResolver::resolve(std::string_view name, std::uint32_t* address) {
  const std::string key(name.substr(0, kMaxNameLength));
  std::uint32_t dotted = 0;
  if (parseDotted(key, &dotted)) {
    if (address != nullptr) *address = dotted;
    return 0;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (Entry* e = findLocked(key)) {
      e->lastUse = now();
      if (e->done) {
        if (e->address == INADDR_NONE) return -1;
        if (address != nullptr) *address = e->address;
        return 0;
      }
    } else {
      // The first empty slot; failing that the finished entry used longest
      // ago (the first of them on a tie). Running look-ups are never evicted.
      Entry* slot = nullptr;
      for (Entry& e : table_) {
        if (e.lastUse == 0) {
          slot = &e;
          break;
        }
        if (e.done && (slot == nullptr || e.lastUse < slot->lastUse)) slot = &e;
      }
      if (slot == nullptr) return -1;
      slot->name = key;
      slot->address = INADDR_NONE;
      slot->done = false;
      slot->lastUse = now();
    }
  }
  startWorker();
  return 1;
}

void NameResolver::startWorker() {
  if (!idle_.load()) return;  // a worker runs and will reach the entry, or the next one will
  if (worker_.joinable()) worker_.join();
  idle_.store(false);
  try {
    worker_ = std::thread(&NameResolver::workerMain, this);
    ++workersStarted_;
  } catch (...) {
    idle_.store(true);
  }
}

void NameResolver::workerMain() {
  for (std::size_t i = 0; i < table_.size() && !idle_.load(); ++i) {
    std::string name;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const Entry& e = table_[i];
      if (e.lastUse == 0 || e.done) continue;
      name = e.name;
    }
    const std::uint32_t found = lookup_(name);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      // A running entry is never evicted, so the slot still holds `name`.
      Entry& e = table_[i];
      e.address = found;
      e.done = true;
    }
    changed_.notify_all();
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    idle_.store(true);
  }
  changed_.notify_all();
}

bool NameResolver::waitForName(std::string_view name, std::chrono::milliseconds limit) {
  const std::string key(name.substr(0, kMaxNameLength));
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] {
    const Entry* e = findLocked(key);
    return e == nullptr || e->done || idle_.load();
  });
}

}  // namespace rondel
