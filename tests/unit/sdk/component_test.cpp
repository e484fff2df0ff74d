// ComponentBase through its dispatch entry, the way the host drives it,
// against a host that records every message.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "recording_host.h"
#include "sdk/component.h"

namespace {

using qom::ComponentBase;
using sdk_test::HostCall;
using sdk_test::RecordingHost;

const qom::Guid kComponentGuid = *qom::Guid::parse("{1F2E3D4C-5B6A-7980-A1B2-C3D4E5F60718}");
const qom::Guid kPopupGuid = *qom::Guid::parse("{ABCDEF01-2345-6789-ABCD-EF0123456789}");
const qom::Guid kConfigParent = *qom::Guid::parse("{99CFD75C-1CA7-49E5-B8C0-7D78AA443C10}");

class NullService final : public qom::ActionService {
 public:
  int dispatch(int, void*, void**, int) override { return 0; }
};

// A resource that announces itself to the host with its own message numbers
// (tag on registration, tag + 1 on deregistration), so its place in the
// host's log shows the order, and notes its deletion.
class ProbeResource final : public qom::Resource {
 public:
  ProbeResource(int tag, std::vector<int>* deleted, bool deleteAtShutdown = true)
      : tag_(tag), deleted_(deleted), deleteAtShutdown_(deleteAtShutdown) {}
  ~ProbeResource() override { deleted_->push_back(tag_); }
  bool deleteAtShutdown() const override { return deleteAtShutdown_; }
  void registerWith(qom::HostApi* api) override { qom::dispatchSend(api, tag_); }
  void deregisterFrom(qom::HostApi* api) override { qom::dispatchSend(api, tag_ + 1); }

 private:
  int tag_;
  std::vector<int>* deleted_;
  bool deleteAtShutdown_;
};

// Every kind of resource, in a known order.
struct Fixture {
  Fixture() : component("Rondel test", kComponentGuid) {
    auto factory = std::make_unique<qom::SingleServiceFactory<NullService>>(qom::kServiceAction,
                                                                             "null");
    factoryPtr = factory.get();
    service = new qom::ServiceResource(std::move(factory));
    popup = new qom::AutoPopupResource(kPopupGuid, "Rondel window");
    groupPopup = new qom::AutoPopupResource(qom::kNullGuid, "Rondel group", true);
    skin = new qom::SkinFileResource("Z:\\skins\\rondel.xml");
    probe = new ProbeResource(9000, &deleted);
    for (qom::Resource* r : std::initializer_list<qom::Resource*>{service, popup, groupPopup, skin,
                                                                   probe})
      component.addResource(r);
  }

  std::vector<int> deleted;
  ComponentBase component;
  qom::ServiceFactory* factoryPtr;
  qom::ServiceResource* service;
  qom::AutoPopupResource* popup;
  qom::AutoPopupResource* groupPopup;
  qom::SkinFileResource* skin;
  ProbeResource* probe;
};

class ComponentBaseTest : public ::testing::Test {
 protected:
  void SetUp() override { qom::setHostApi(nullptr); }
  void TearDown() override { qom::setHostApi(nullptr); }
};

TEST_F(ComponentBaseTest, Register_RegistersResourcesInListOrderThenTheFilledConfigGroup) {
  RecordingHost host;
  Fixture fx;
  qom::Component* c = &fx.component;
  c->registerWithHost(&host);

  EXPECT_EQ(qom::hostApi(), &host);
  ASSERT_EQ(host.messages(), (std::vector<int>{400, 1310, 1311, 9000, 6700}));

  const HostCall& service = host.calls[0];
  EXPECT_EQ(service.argCount, 1);
  EXPECT_EQ(service.objects, (std::vector<const void*>{fx.factoryPtr}));

  const HostCall& popup = host.calls[1];
  EXPECT_EQ(popup.argCount, 4);
  EXPECT_EQ(popup.guid, kPopupGuid);
  EXPECT_EQ(popup.texts[0], "Rondel window");
  EXPECT_EQ(popup.texts[1], std::nullopt);  // no preferred container
  EXPECT_EQ(popup.ints[0], 0);
  EXPECT_EQ(fx.popup->id(), host.autoPopupId);

  const HostCall& group = host.calls[2];
  EXPECT_EQ(group.argCount, 4);
  EXPECT_EQ(group.texts[0], "");
  EXPECT_EQ(group.texts[1], "Rondel group");
  EXPECT_EQ(group.texts[2], std::nullopt);
  EXPECT_EQ(group.ints[0], 1);
  EXPECT_EQ(fx.groupPopup->id(), host.autoPopupGroupId);

  // The skin file waits for the skin; the group is complete when it is sent.
  EXPECT_EQ(fx.skin->id(), -1);
  const HostCall& config = host.calls[4];
  EXPECT_EQ(config.objects, (std::vector<const void*>{&fx.component.config()}));
  EXPECT_EQ(config.groupName, "Rondel test");
  EXPECT_EQ(config.groupGuid, kComponentGuid);
  EXPECT_EQ(config.groupParentGuid, kConfigParent);
}

TEST_F(ComponentBaseTest, Register_KeepsAGroupNameAndParentSetBeforehand) {
  RecordingHost host;
  ComponentBase component("Name", kComponentGuid);
  const qom::Guid parent = *qom::Guid::parse("{00000000-0000-0000-0000-000000000001}");
  component.config().setName("Own group");
  component.config().setParentGuid(parent);
  component.config().setGuid(kPopupGuid);  // replaced by the component's own
  component.registerWithHost(&host);
  ASSERT_EQ(host.messages(), (std::vector<int>{6700}));
  EXPECT_EQ(host.calls[0].groupName, "Own group");
  EXPECT_EQ(host.calls[0].groupGuid, kComponentGuid);
  EXPECT_EQ(host.calls[0].groupParentGuid, parent);
}

TEST_F(ComponentBaseTest, SkinNotification_RegistersSkinFilesWhichDeregistrationWithdraws) {
  RecordingHost host;
  Fixture fx;
  qom::Component* c = &fx.component;

  // Before registration there is no host to tell.
  EXPECT_EQ(c->notify(qom::kNotifySkinLoaded, 0, 0, 0, 0), 0);
  EXPECT_EQ(fx.skin->id(), -1);

  c->registerWithHost(&host);
  host.calls.clear();
  EXPECT_EQ(c->notify(qom::kNotify58117, 0, 0, 0, 0), 0);
  EXPECT_EQ(c->notify(12345, 1, 2, 3, 4), 0);
  EXPECT_TRUE(host.calls.empty());

  EXPECT_EQ(c->notify(qom::kNotifySkinLoaded, 0, 0, 0, 0), 0);
  ASSERT_EQ(host.messages(), (std::vector<int>{5901}));
  EXPECT_EQ(host.calls[0].texts[0], "Z:\\skins\\rondel.xml");
  EXPECT_EQ(fx.skin->id(), 17);

  host.calls.clear();
  c->deregisterFromHost();
  ASSERT_EQ(host.messages(), (std::vector<int>{401, 1312, 1312, 5902, 9001, 6710}));
  EXPECT_EQ(host.calls[0].objects, (std::vector<const void*>{fx.factoryPtr}));
  EXPECT_EQ(host.calls[1].ints[0], 31);
  EXPECT_EQ(host.calls[2].ints[0], 32);
  EXPECT_EQ(host.calls[3].ints[0], 17);
  EXPECT_EQ(host.calls[5].objects, (std::vector<const void*>{&fx.component.config()}));
  EXPECT_EQ(fx.skin->id(), -1);
}

TEST_F(ComponentBaseTest, Deregister_SkinFileNeverOrNotRegistered_IsNotWithdrawn) {
  // Never announced, or refused by the host with a negative id.
  for (std::optional<int> answer : {std::optional<int>(), std::optional<int>(-1),
                                    std::optional<int>(-7)}) {
    SCOPED_TRACE(answer.value_or(0));
    RecordingHost host;
    Fixture fx;
    qom::Component* c = &fx.component;
    c->registerWithHost(&host);
    if (answer) {
      host.skinFileId = *answer;
      c->notify(qom::kNotifySkinLoaded, 0, 0, 0, 0);
      EXPECT_EQ(fx.skin->id(), *answer);
    }
    host.calls.clear();
    c->deregisterFromHost();
    EXPECT_EQ(host.callsOf(qom::hostmsg::kSkinFileDeregister).size(), 0u);
    EXPECT_EQ(host.messages().back(), 6710);
  }
}

TEST_F(ComponentBaseTest, Destroy_DeletesTheResourcesThatAskForIt) {
  std::vector<int> deleted;
  auto* kept = new ProbeResource(7000, &deleted, false);
  {
    ComponentBase component("c", kComponentGuid);
    component.addResource(new ProbeResource(6000, &deleted));
    component.addResource(kept);
    component.addResource(new ProbeResource(8000, &deleted));
    EXPECT_EQ(component.resourceCount(), 3u);

    component.destroyComponent();
    EXPECT_EQ(deleted, (std::vector<int>{6000, 8000}));
    EXPECT_EQ(component.resourceCount(), 0u);
    EXPECT_FALSE(component.haveResource(kept));
  }
  // The component's end does not touch what it let go of.
  EXPECT_EQ(deleted, (std::vector<int>{6000, 8000}));
  delete kept;
  EXPECT_EQ(deleted, (std::vector<int>{6000, 8000, 7000}));
}

// Name, GUID, module handle, groups 0 and 1 and unknown messages are asked
// of the real component in ComponentLifecycle.
// ComponentObjectAnswersItsMessagesAndExportsBeforeInit; here what it never
// asks.
TEST_F(ComponentBaseTest, Dispatch_MissingArgumentsAndHostlessCallsDoNothing) {
  ComponentBase component("Rondel", kComponentGuid);
  qom::Component* c = &component;
  EXPECT_EQ(c->configGroup(-1), nullptr);
  EXPECT_EQ(qom::dispatchCall<qom::ConfigGroup*>(c, qom::compmsg::kGetConfigGroup, nullptr),
            nullptr);
  EXPECT_EQ(qom::dispatchCall<int>(c, qom::compmsg::kCommand, -1, std::intptr_t{1},
                                   std::intptr_t{2}, std::intptr_t{3}, std::intptr_t{4},
                                   std::intptr_t{5}),
            0);
  EXPECT_TRUE(qom::dispatchSend(c, qom::compmsg::kHostReady));

  // Registration without a host API, or with none given, does nothing.
  EXPECT_TRUE(qom::dispatchSend(c, qom::compmsg::kRegister, static_cast<qom::HostApi*>(nullptr)));
  EXPECT_TRUE(qom::dispatchSend(c, qom::compmsg::kRegister));
  EXPECT_EQ(qom::hostApi(), nullptr);
  EXPECT_TRUE(component.config().groupName().empty());
  // Deregistration before registration has no host to tell.
  c->deregisterFromHost();
}

// Message 420 carries two ints. They must reach reservedQuery as the values
// sent, whatever lies next to them in the sender's memory.
class QueryRecorder final : public ComponentBase {
 public:
  QueryRecorder() : ComponentBase("q", kComponentGuid) {}
  int reservedQuery(std::intptr_t a, std::intptr_t b) override {
    seen.push_back(a);
    seen.push_back(b);
    return 0;
  }
  std::vector<std::intptr_t> seen;
};

TEST_F(ComponentBaseTest, ReservedQuery_TwoValues_ArriveAsSent) {
  // The values of 420 (and of 500 and 600) are pointer-sized; a caller
  // passing fewer arguments gets 0 for the missing ones.
  QueryRecorder component;
  int result = -1;
  EXPECT_EQ(qom::dispatchCall<int>(&component, qom::compmsg::kReservedQuery, -1, std::intptr_t{5},
                                   std::intptr_t{-7}),
            0);
  EXPECT_EQ(component.seen, (std::vector<std::intptr_t>{5, -7}));
  std::intptr_t only = 9;
  void* args[] = {&only};
  EXPECT_EQ(component.dispatch(qom::compmsg::kReservedQuery, &result, args, 1), 1);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(component.seen, (std::vector<std::intptr_t>{5, -7, 9, 0}));
}

TEST_F(ComponentBaseTest, HostHandlingNothing_LeavesAutoPopupIdZeroAndEverythingRuns) {
  RecordingHost host;
  host.handlesNothing = true;
  Fixture fx;
  qom::Component* c = &fx.component;
  c->registerWithHost(&host);
  EXPECT_EQ(fx.popup->id(), 0);
  EXPECT_EQ(fx.groupPopup->id(), 0);
  c->notify(qom::kNotifySkinLoaded, 0, 0, 0, 0);
  c->hostReady();
  c->deregisterFromHost();
  c->destroyComponent();
  EXPECT_EQ(fx.component.resourceCount(), 0u);
  EXPECT_EQ(fx.deleted, (std::vector<int>{9000}));
  // Everything was still said, in order.
  const std::vector<int> messages = host.messages();
  ASSERT_GE(messages.size(), 6u);
  EXPECT_EQ(std::vector<int>(messages.begin(), messages.begin() + 5),
            (std::vector<int>{400, 1310, 1311, 9000, 6700}));
  EXPECT_EQ(messages.back(), 6710);
}

TEST_F(ComponentBaseTest, AddResource_SameRecordTwice_FiresTheDebugCheck) {
#if defined(QOM_ASSERT_FATAL)
  std::vector<int> deleted;
  ComponentBase component("c", kComponentGuid);
  auto* probe = new ProbeResource(1, &deleted);
  component.addResource(probe);
  EXPECT_DEATH(component.addResource(probe), "!resources\\.haveItem\\(res\\)");
  EXPECT_EQ(component.resourceCount(), 1u);
#else
  GTEST_SKIP() << "debug checks are not fatal in this build";
#endif
}

}  // namespace
