#include "sdk/config.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace qom {

ConfigItemImpl::ConfigItemImpl(ConfigGroup* group, std::string name, std::uint32_t type,
                               std::string defaultValue, ChangeCallback onChange)
    : group_(group),
      name_(std::move(name)),
      type_(type),
      default_(std::move(defaultValue)),
      onChange_(std::move(onChange)),
      value_(default_) {}

std::string ConfigItemImpl::value() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return value_;
}

int ConfigItemImpl::valueAsInt() const {
  std::string v = value();
  errno = 0;
  char* end = nullptr;
  long n = std::strtol(v.c_str(), &end, 10);
  if (end == v.c_str() || errno == ERANGE || n > INT_MAX || n < INT_MIN) return 0;
  return static_cast<int>(n);
}

bool ConfigItemImpl::setValue(const std::string& value) {
  std::string stored = value;
  if (type_ == kConfigTypeBool) {
    errno = 0;
    char* end = nullptr;
    long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || errno == ERANGE) return false;
    stored = n != 0 ? "1" : "0";
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stored == value_) return true;
    value_ = stored;
  }
  if (onChange_) onChange_(stored);
  if (ConfigObserver* o = observer_.load()) o->itemChanged(group_, this);
  return true;
}

int ConfigItemImpl::dispatch(int message, void* result, void** args, int argCount) {
  switch (message) {
    case kMsgName: dispatchResult(result, name_.c_str()); return 1;
    case kMsgType: dispatchResult(result, type_); return 1;
    case kMsgEditorGroup:
      dispatchResult(result, type_ == kConfigTypeBool ? kEditorGroupBool : kEditorGroupString);
      return 1;
    case kMsgText: dispatchResult(result, value()); return 1;
    case kMsgSetText: {
      const char* text = dispatchArg<const char*>(args, argCount, 0);
      dispatchResult(result, text != nullptr && setValue(text) ? 1 : 0);
      return 1;
    }
    case kMsgDefault: dispatchResult(result, default_); return 1;
    case kMsgInt: dispatchResult(result, valueAsInt()); return 1;
    default: return 0;
  }
}

ConfigItemImpl* ConfigGroupImpl::addBool(const std::string& name, bool defaultValue,
                                         ConfigItemImpl::ChangeCallback onChange) {
  items_.push_back(std::make_unique<ConfigItemImpl>(this, name, kConfigTypeBool,
                                                    defaultValue ? "1" : "0", std::move(onChange)));
  return items_.back().get();
}

ConfigItemImpl* ConfigGroupImpl::addString(const std::string& name, const std::string& defaultValue,
                                           ConfigItemImpl::ChangeCallback onChange) {
  items_.push_back(std::make_unique<ConfigItemImpl>(this, name, kConfigTypeString, defaultValue,
                                                    std::move(onChange)));
  return items_.back().get();
}

ConfigItemImpl* ConfigGroupImpl::find(const std::string& name) const {
  for (const auto& item : items_)
    if (item->itemName() == name) return item.get();
  return nullptr;
}

std::string ConfigGroupImpl::getString(const std::string& name) const {
  ConfigItemImpl* item = find(name);
  return item != nullptr ? item->value() : std::string();
}

int ConfigGroupImpl::getInt(const std::string& name) const {
  ConfigItemImpl* item = find(name);
  return item != nullptr ? item->valueAsInt() : 0;
}

bool ConfigGroupImpl::setString(const std::string& name, const std::string& value) {
  ConfigItemImpl* item = find(name);
  return item != nullptr && item->setValue(value);
}

int ConfigGroupImpl::dispatch(int message, void* result, void** args, int argCount) {
  switch (message) {
    case kMsgName: dispatchResult(result, name_.c_str()); return 1;
    case kMsgGuid: dispatchResult(result, guid_); return 1;
    case kMsgParentGuid: dispatchResult(result, parentGuid_); return 1;
    case kMsgItemCount: dispatchResult(result, static_cast<int>(items_.size())); return 1;
    case kMsgItemAt: {
      int i = dispatchArg<int>(args, argCount, 0, -1);
      ConfigItem* item = (i >= 0 && i < static_cast<int>(items_.size())) ? items_[i].get() : nullptr;
      dispatchResult(result, item);
      return 1;
    }
    case kMsgItemByName: {
      const char* n = dispatchArg<const char*>(args, argCount, 0);
      ConfigItem* item = n != nullptr ? find(n) : nullptr;
      dispatchResult(result, item);
      return 1;
    }
    case kMsgSetObserver: {
      auto* observer = dispatchArg<ConfigObserver*>(args, argCount, 0);
      for (auto& item : items_) item->setObserver(observer);
      return 1;
    }
    default: return 0;
  }
}

}  // namespace qom
