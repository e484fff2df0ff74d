#include "sdk/resource.h"

#include "sdk/qom_assert.h"

namespace qom {

void SkinFileResource::deregisterFrom(HostApi* api) {
  if (id_ >= 0) {
    api->skinFileDeregister(id_);
    id_ = -1;
  }
}

void SkinFileResource::onSkinNotification(HostApi* api) {
  QOM_ASSERT(!filename_.empty(), "!filename.isempty()");
  id_ = api->skinFileRegister(filename_.c_str());
}

void AutoPopupResource::registerWith(HostApi* api) {
  // No preferred container is given (null), so the host places the window.
  if (guid_.isNull())
    id_ = api->autoPopupRegisterGroup(groupId_.c_str(), description_.c_str(), nullptr,
                                      containerRequired_ ? 1 : 0);
  else
    id_ = api->autoPopupRegister(guid_, description_.c_str(), nullptr, containerRequired_ ? 1 : 0);
}

void AutoPopupResource::deregisterFrom(HostApi* api) { api->autoPopupDeregister(id_); }

}  // namespace qom
