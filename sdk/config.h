#pragma once
// Configuration items and groups. A component owns its items; the host keeps
// their values: it loads stored values into the items when the group is
// registered and watches every change to store it again. Items are read at
// the moment of use, from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sdk/dispatch.h"
#include "sdk/fourcc.h"
#include "sdk/guid.h"

namespace qom {

constexpr std::uint32_t kConfigTypeBool = fourCC("bool");
constexpr std::uint32_t kConfigTypeString = fourCC("str");
constexpr const char* kEditorGroupBool = "mirrit.configgroup.bool";
constexpr const char* kEditorGroupString = "mirrit.configgroup.string";

class ConfigItem : public Dispatchable {
 public:
  enum : int {
    kMsgName = 100,         // -> const char*
    kMsgType = 110,         // -> u32 type code
    kMsgEditorGroup = 120,  // -> const char*
    kMsgText = 200,         // -> std::string (the value)
    kMsgSetText = 210,      // const char* -> int accepted
    kMsgDefault = 220,      // -> std::string
    kMsgInt = 230,          // -> int
  };
  const char* name() { return dispatchCall<const char*>(this, kMsgName, ""); }
  std::uint32_t type() { return dispatchCall<std::uint32_t>(this, kMsgType, 0u); }
  const char* editorGroup() { return dispatchCall<const char*>(this, kMsgEditorGroup, ""); }
  std::string text() { return dispatchCall<std::string>(this, kMsgText, std::string()); }
  bool setText(const char* value) { return dispatchCall<int>(this, kMsgSetText, 0, value) != 0; }
  std::string defaultText() { return dispatchCall<std::string>(this, kMsgDefault, std::string()); }
  int intValue() { return dispatchCall<int>(this, kMsgInt, 0); }

 protected:
  ~ConfigItem() = default;
};

class ConfigGroup;

// Told of every accepted change of an item's value (on the changer's thread).
class ConfigObserver : public Dispatchable {
 public:
  enum : int { kMsgItemChanged = 100 };  // ConfigGroup*, ConfigItem*
  void itemChanged(ConfigGroup* group, ConfigItem* item) {
    dispatchSend(this, kMsgItemChanged, group, item);
  }

 protected:
  ~ConfigObserver() = default;
};

class ConfigGroup : public Dispatchable {
 public:
  enum : int {
    kMsgName = 100,        // -> const char*
    kMsgGuid = 110,        // -> Guid
    kMsgParentGuid = 120,  // -> Guid
    kMsgItemCount = 200,   // -> int
    kMsgItemAt = 210,      // int -> ConfigItem*
    kMsgItemByName = 220,  // const char* -> ConfigItem* (exact name)
    kMsgSetObserver = 300, // ConfigObserver*|null
  };
  const char* name() { return dispatchCall<const char*>(this, kMsgName, ""); }
  Guid guid() { return dispatchCall<Guid>(this, kMsgGuid, kNullGuid); }
  Guid parentGuid() { return dispatchCall<Guid>(this, kMsgParentGuid, kNullGuid); }
  int itemCount() { return dispatchCall<int>(this, kMsgItemCount, 0); }
  ConfigItem* itemAt(int i) { return dispatchCall<ConfigItem*>(this, kMsgItemAt, nullptr, i); }
  ConfigItem* itemByName(const char* n) {
    return dispatchCall<ConfigItem*>(this, kMsgItemByName, nullptr, n);
  }
  void setObserver(ConfigObserver* o) { dispatchSend(this, kMsgSetObserver, o); }

 protected:
  ~ConfigGroup() = default;
};

// The component-side implementation of an item: its value lives here under a
// mutex; the host only mirrors it into its store.
class ConfigItemImpl final : public ConfigItem {
 public:
  using ChangeCallback = std::function<void(const std::string& newValue)>;

  ConfigItemImpl(ConfigGroup* group, std::string name, std::uint32_t type, std::string defaultValue,
                 ChangeCallback onChange = nullptr);

  int dispatch(int message, void* result, void** args, int argCount) override;

  const std::string& itemName() const { return name_; }
  std::uint32_t typeCode() const { return type_; }
  std::string value() const;
  int valueAsInt() const;
  // Booleans accept "0" and "1" (any integer text: nonzero is stored as 1);
  // texts accept anything. The callback and the observer run after an
  // accepted change, outside the lock, on the caller's thread.
  bool setValue(const std::string& value);
  void setObserver(ConfigObserver* observer) { observer_ = observer; }

 private:
  ConfigGroup* const group_;
  const std::string name_;
  const std::uint32_t type_;
  const std::string default_;
  const ChangeCallback onChange_;
  mutable std::mutex mutex_;
  std::string value_;
  std::atomic<ConfigObserver*> observer_{nullptr};
};

class ConfigGroupImpl final : public ConfigGroup {
 public:
  ConfigGroupImpl() = default;

  int dispatch(int message, void* result, void** args, int argCount) override;

  ConfigItemImpl* addBool(const std::string& name, bool defaultValue,
                          ConfigItemImpl::ChangeCallback onChange = nullptr);
  ConfigItemImpl* addString(const std::string& name, const std::string& defaultValue,
                            ConfigItemImpl::ChangeCallback onChange = nullptr);
  ConfigItemImpl* find(const std::string& name) const;

  // Readers: the current value, or the empty text / 0 for an unknown name.
  std::string getString(const std::string& name) const;
  int getInt(const std::string& name) const;
  bool setString(const std::string& name, const std::string& value);

  const std::string& groupName() const { return name_; }
  void setName(std::string name) { name_ = std::move(name); }
  const Guid& groupGuid() const { return guid_; }
  void setGuid(const Guid& g) { guid_ = g; }
  const Guid& groupParentGuid() const { return parentGuid_; }
  void setParentGuid(const Guid& g) { parentGuid_ = g; }

 private:
  // Items are added during static construction only, so the list itself
  // needs no lock; each item guards its own value.
  std::vector<std::unique_ptr<ConfigItemImpl>> items_;
  std::string name_;
  Guid guid_{};
  Guid parentGuid_{};
};

}  // namespace qom
