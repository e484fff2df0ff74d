#pragma once
// Where the entries come from: a freedb-format folder (`category/discid`
// files) or, for tests and the fuzzer, memory. Category and disc id names
// are checked here as well as by the command handling, so no caller can make
// a store open anything outside its root.
#include <cstddef>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cddb_server {

// Entry files larger than this are skipped as damaged: a real entry holds a
// few kilobytes.
constexpr std::size_t kMaxEntryBytes = 1u << 20;

// 1 to 64 of [A-Za-z0-9_-]: the eleven freedb categories and local ones.
bool isValidCategory(std::string_view name);
// Exactly eight hexadecimal digits (either case).
bool isValidDiscId(std::string_view id);

class EntryStore {
 public:
  virtual ~EntryStore() = default;
  // Category folder names, sorted.
  virtual std::vector<std::string> categories() const = 0;
  // Disc ids (lower-case names) in one category, sorted.
  virtual std::vector<std::string> discIds(const std::string& category) const = 0;
  // The entry's bytes; nothing when the names are invalid, the entry is
  // missing, not a regular file, larger than kMaxEntryBytes, unreadable or
  // holds a NUL byte (not text).
  virtual std::optional<std::string> load(const std::string& category,
                                          const std::string& discId) const = 0;
};

// Reads the folder afresh on every call, so entries added while the server
// runs are served at once. Safe to call from several threads (no state
// besides the root, which never changes).
class FolderStore : public EntryStore {
 public:
  explicit FolderStore(std::filesystem::path root) : root_(std::move(root)) {}
  std::vector<std::string> categories() const override;
  std::vector<std::string> discIds(const std::string& category) const override;
  std::optional<std::string> load(const std::string& category,
                                  const std::string& discId) const override;

 private:
  const std::filesystem::path root_;
};

// Filled before use, read-only afterwards.
class MemoryStore : public EntryStore {
 public:
  void add(const std::string& category, const std::string& discId, std::string text);
  std::vector<std::string> categories() const override;
  std::vector<std::string> discIds(const std::string& category) const override;
  std::optional<std::string> load(const std::string& category,
                                  const std::string& discId) const override;

 private:
  std::map<std::string, std::map<std::string, std::string>> entries_;
};

}  // namespace cddb_server
