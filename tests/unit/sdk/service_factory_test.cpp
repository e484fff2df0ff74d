// SingleServiceFactory: lending and taking back its one instance, what the
// host hears of it, and the debug checks on instances it never lent.
#include <gtest/gtest.h>

#include "recording_host.h"
#include "sdk/service.h"

namespace {

using sdk_test::RecordingHost;

class ProbeService final : public qom::ActionService {
 public:
  int dispatch(int message, void* result, void**, int) override {
    if (message != kMsgRun) return 0;
    qom::dispatchResult(result, 5);
    return 1;
  }
};

using ProbeFactory = qom::SingleServiceFactory<ProbeService>;

const qom::Guid kFactoryGuid = *qom::Guid::parse("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");

class SingleServiceFactoryTest : public ::testing::Test {
 protected:
  void TearDown() override { qom::setHostApi(nullptr); }
};

TEST_F(SingleServiceFactoryTest, LendAndTakeBack_CountAndTellTheHostIfThereIsOne) {
  RecordingHost host;
  qom::setHostApi(&host);
  ProbeFactory factory(qom::kServiceAction, "probe", kFactoryGuid);
  qom::ServiceFactory* f = &factory;

  EXPECT_EQ(f->serviceType(), qom::fourCC("actn"));
  EXPECT_STREQ(f->serviceName(), "probe");
  EXPECT_EQ(f->guid(), kFactoryGuid);
  EXPECT_EQ(qom::dispatchCall<int>(f, 12345, -1), -1);
  EXPECT_EQ(factory.useCount(), 0);

  qom::Dispatchable* first = f->getInterface();
  qom::Dispatchable* second = f->getInterface();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, static_cast<qom::Dispatchable*>(factory.instance()));
  EXPECT_EQ(second, first);
  EXPECT_EQ(factory.useCount(), 2);
  EXPECT_EQ(static_cast<qom::ActionService*>(first)->run("x", "y"), 5);

  const auto lent = host.callsOf(qom::hostmsg::kServiceLent);
  ASSERT_EQ(lent.size(), 2u);
  for (const auto& call : lent) {
    EXPECT_EQ(call.argCount, 2);
    ASSERT_EQ(call.objects.size(), 2u);
    EXPECT_EQ(call.objects[0], f);
    EXPECT_EQ(call.objects[1], first);
  }
  EXPECT_EQ(host.calls.size(), 2u);  // nothing else was said

  EXPECT_EQ(f->releaseInterface(first), 1);
  EXPECT_EQ(factory.useCount(), 1);
  EXPECT_EQ(f->releaseInterface(second), 1);
  EXPECT_EQ(factory.useCount(), 0);
  EXPECT_EQ(host.calls.size(), 2u);  // taking back is not announced

  // Without a host API there is no one to tell, and loans still count.
  qom::setHostApi(nullptr);
  ProbeFactory unnamed(qom::kServiceWindowCreator, "windows");
  qom::ServiceFactory* u = &unnamed;
  EXPECT_TRUE(u->guid().isNull());
  qom::Dispatchable* instance = u->getInterface();
  EXPECT_NE(instance, nullptr);
  EXPECT_EQ(unnamed.useCount(), 1);
  EXPECT_EQ(u->releaseInterface(instance), 1);
  EXPECT_EQ(unnamed.useCount(), 0);
  EXPECT_EQ(host.calls.size(), 2u);
}

TEST_F(SingleServiceFactoryTest, TakeBack_InstanceNeverLentHere_FiresTheDebugCheck) {
#if defined(QOM_ASSERT_FATAL)
  ProbeFactory factory(qom::kServiceAction, "probe");
  ProbeService foreign;
  qom::ServiceFactory* f = &factory;
  EXPECT_DEATH(f->releaseInterface(&foreign),
               "static_cast<SERVICE\\*>\\(service\\) == singleService");
  EXPECT_DEATH(f->releaseInterface(nullptr),
               "static_cast<SERVICE\\*>\\(service\\) == singleService");
  // No argument at all reads as a null instance.
  EXPECT_DEATH(qom::dispatchCall<int>(f, qom::ServiceFactory::kMsgRelease, 0),
               "static_cast<SERVICE\\*>\\(service\\) == singleService");
  // More returns than loans.
  qom::Dispatchable* instance = f->getInterface();
  ASSERT_EQ(f->releaseInterface(instance), 1);
  EXPECT_DEATH(f->releaseInterface(instance), "refcount >= 0");
#else
  GTEST_SKIP() << "debug checks are not fatal in this build";
#endif
}

}  // namespace
