#pragma once
// Where the entries come from: a freedb-format folder (`category/discid`
// files) or, for tests and the fuzzer, memory. Category and disc id names
// are checked here as well as by the command handling, so no caller can make
// a store open anything outside its root.
#include <cstddef>
#include <filesystem>
#include <map>
#include <mutex>
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
  // missing, not a regular file (a link or in a linked folder, for a
  // FolderStore), larger than kMaxEntryBytes, unreadable or holds a NUL
  // byte (not text).
  virtual std::optional<std::string> load(const std::string& category,
                                          const std::string& discId) const = 0;
  // Whether an entry of that name is there (a cheap look, no read); load()
  // may still refuse it.
  virtual bool exists(const std::string& category, const std::string& discId) const = 0;
  // How many entry names (lower-case disc ids) a category holds, counting
  // no further than `stopAfter`.
  virtual std::size_t countEntries(const std::string& category, std::size_t stopAfter) const = 0;
};

// Reads the folder afresh on every call, so entries added while the server
// runs are served at once; nothing is read at construction, so a freedb
// copy of millions of files costs nothing to open. A query or a read opens
// only the files it names. Counts (for the inexact scan's limit and "stat")
// are cached per category folder and taken again when the folder's
// modification time changes. Safe to call from several threads.
//
// Only regular files whose real path lies under the root are served: a
// category folder or an entry that is a symbolic link (a dump can carry
// them) is neither listed nor read, wherever it points. The root itself
// may be a link; it is resolved once, at construction.
class FolderStore : public EntryStore {
 public:
  explicit FolderStore(const std::filesystem::path& root);
  std::vector<std::string> categories() const override;
  std::vector<std::string> discIds(const std::string& category) const override;
  std::optional<std::string> load(const std::string& category,
                                  const std::string& discId) const override;
  bool exists(const std::string& category, const std::string& discId) const override;
  std::size_t countEntries(const std::string& category, std::size_t stopAfter) const override;

 private:
  struct Count {
    long long modifiedNs = -1;  // the folder's mtime when counted
    std::size_t count = 0;
    bool complete = false;      // false: counting stopped at `count`
  };
  const std::filesystem::path root_;  // the real path of the root
  mutable std::mutex countsMutex_;  // guards counts_ (server worker threads)
  mutable std::map<std::string, Count> counts_;
};

// Filled before use, read-only afterwards.
class MemoryStore : public EntryStore {
 public:
  void add(const std::string& category, const std::string& discId, std::string text);
  std::vector<std::string> categories() const override;
  std::vector<std::string> discIds(const std::string& category) const override;
  std::optional<std::string> load(const std::string& category,
                                  const std::string& discId) const override;
  bool exists(const std::string& category, const std::string& discId) const override;
  std::size_t countEntries(const std::string& category, std::size_t stopAfter) const override;

 private:
  std::map<std::string, std::map<std::string, std::string>> entries_;
};

}  // namespace cddb_server
