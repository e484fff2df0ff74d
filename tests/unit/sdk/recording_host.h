#pragma once
// A host API that records every message it receives with its arguments,
// decoded by the message's documented argument list, and answers the
// registrations with ids the test picks. With handlesNothing set it answers
// no message at all (dispatch returns 0), as a host lacking the calls would.
#include <optional>
#include <string>
#include <vector>

#include "sdk/config.h"
#include "sdk/dispatch.h"
#include "sdk/guid.h"
#include "sdk/host_api.h"
#include "sdk/service.h"

namespace sdk_test {

struct HostCall {
  int message = 0;
  int argCount = 0;
  std::vector<const void*> objects;               // object arguments, in order
  std::vector<std::optional<std::string>> texts;  // text arguments; nullopt for null
  std::vector<int> ints;
  qom::Guid guid;
  // For 6700/6710: the group as it looked when the message arrived.
  std::string groupName;
  qom::Guid groupGuid, groupParentGuid;
};

class RecordingHost final : public qom::HostApi {
 public:
  int dispatch(int message, void* result, void** args, int argCount) override {
    HostCall call;
    call.message = message;
    call.argCount = argCount;
    auto text = [&](int i) -> std::optional<std::string> {
      const char* t = qom::dispatchArg<const char*>(args, argCount, i);
      return t != nullptr ? std::optional<std::string>(t) : std::nullopt;
    };
    auto factory = [&](int i) -> const void* {
      return qom::dispatchArg<qom::ServiceFactory*>(args, argCount, i);
    };
    auto integer = [&](int i) { return qom::dispatchArg<int>(args, argCount, i, -12345); };
    std::optional<int> answer;
    switch (message) {
      case qom::hostmsg::kServiceRegister:
      case qom::hostmsg::kServiceDeregister:
        call.objects = {factory(0)};
        break;
      case qom::hostmsg::kServiceLent:
        call.objects = {factory(0), qom::dispatchArg<qom::Dispatchable*>(args, argCount, 1)};
        break;
      case qom::hostmsg::kAutoPopupRegister:
        call.guid = qom::dispatchArg<qom::Guid>(args, argCount, 0);
        call.texts = {text(1), text(2)};
        call.ints = {integer(3)};
        answer = autoPopupId;
        break;
      case qom::hostmsg::kAutoPopupRegisterGroup:
        call.texts = {text(0), text(1), text(2)};
        call.ints = {integer(3)};
        answer = autoPopupGroupId;
        break;
      case qom::hostmsg::kAutoPopupDeregister:
      case qom::hostmsg::kSkinFileDeregister:
        call.ints = {integer(0)};
        break;
      case qom::hostmsg::kSkinFileRegister:
        call.texts = {text(0)};
        answer = skinFileId;
        break;
      case qom::hostmsg::kConfigRegisterGroup:
      case qom::hostmsg::kConfigDeregisterGroup: {
        auto* group = qom::dispatchArg<qom::ConfigGroup*>(args, argCount, 0);
        call.objects = {group};
        if (group != nullptr) {
          call.groupName = group->name();
          call.groupGuid = group->guid();
          call.groupParentGuid = group->parentGuid();
        }
        break;
      }
      default: break;  // recorded with its count only
    }
    calls.push_back(call);
    if (handlesNothing) return 0;
    if (answer) qom::dispatchResult(result, *answer);
    return 1;
  }

  std::vector<int> messages() const {
    std::vector<int> numbers;
    for (const HostCall& c : calls) numbers.push_back(c.message);
    return numbers;
  }
  std::vector<HostCall> callsOf(int message) const {
    std::vector<HostCall> found;
    for (const HostCall& c : calls)
      if (c.message == message) found.push_back(c);
    return found;
  }

  bool handlesNothing = false;
  int autoPopupId = 31;
  int autoPopupGroupId = 32;
  int skinFileId = 17;
  std::vector<HostCall> calls;
};

}  // namespace sdk_test
