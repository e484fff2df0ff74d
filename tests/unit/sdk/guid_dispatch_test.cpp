// GUID text form, four-character codes, and the dispatch helpers every
// interface call goes through.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sdk/dispatch.h"
#include "sdk/fourcc.h"
#include "sdk/guid.h"

namespace {

using qom::Guid;

const Guid kSample{0x99CFD75C, 0x1CA7, 0x49E5, {0xB8, 0xC0, 0x7D, 0x78, 0xAA, 0x44, 0x3C, 0x10}};

TEST(Guid, TextForm_IsUppercaseBracedAndParsesBackToTheSameValue) {
  EXPECT_EQ(kSample.toString(), "{99CFD75C-1CA7-49E5-B8C0-7D78AA443C10}");
  EXPECT_EQ(qom::kNullGuid.toString(), "{00000000-0000-0000-0000-000000000000}");
  EXPECT_TRUE(qom::kNullGuid.isNull());
  EXPECT_FALSE(kSample.isNull());

  const Guid max{0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}};
  EXPECT_EQ(max.toString(), "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}");
  // Byte order of each field: the text reads most significant first.
  const Guid ordered{0x01020304, 0x0506, 0x0708, {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10}};
  EXPECT_EQ(ordered.toString(), "{01020304-0506-0708-090A-0B0C0D0E0F10}");

  for (const Guid& g : {kSample, max, ordered, Guid{}}) {
    auto parsed = Guid::parse(g.toString());
    ASSERT_TRUE(parsed.has_value()) << g.toString();
    EXPECT_EQ(*parsed, g);
  }
  auto lower = Guid::parse("{99cfd75c-1ca7-49e5-b8c0-7d78aa443c10}");
  ASSERT_TRUE(lower.has_value());
  EXPECT_EQ(*lower, kSample);
}

TEST(Guid, Parse_MalformedTexts_AreRefused) {
  const std::string good = "{99CFD75C-1CA7-49E5-B8C0-7D78AA443C10}";
  ASSERT_TRUE(Guid::parse(good).has_value());
  const std::vector<std::string> bad = {
      "",
      "{}",
      "99CFD75C-1CA7-49E5-B8C0-7D78AA443C10",      // no braces
      "(99CFD75C-1CA7-49E5-B8C0-7D78AA443C10)",    // other brackets
      "{99CFD75C-1CA7-49E5-B8C0-7D78AA443C10",     // one short
      "{99CFD75C-1CA7-49E5-B8C0-7D78AA443C10}}",   // one long
      "{99CFD75C-1CA7-49E5-B8C0-7D78AA443C1}",     // a digit short
      "{99CFD75C-1CA7-49E5-B8C0-7D78AA443C100}",   // a digit long
      "{99CFD75C1CA7-49E5-B8C0-7D78AA443C10A}",    // dash moved
      "{99CFD75C-1CA7-49E5-B8C07D78AA443C10-}",    // last dash moved
      "{99CFD75C-1CA7:49E5-B8C0-7D78AA443C10}",    // other separator
      "{99CFD75C-1CA7-49E5-B8C0-7D78AA443C1G}",    // non-hex
      "{ 9CFD75C-1CA7-49E5-B8C0-7D78AA443C10}",    // blank
      "{+9CFD75C-1CA7-49E5-B8C0-7D78AA443C10}",    // sign
      "{0x9FD75C-1CA7-49E5-B8C0-7D78AA443C10}",    // prefix
      "{99CFD75C-1CA7-49E5-B8C0-7D78AA443C10}x",
      "x{99CFD75C-1CA7-49E5-B8C0-7D78AA443C10}",
      "{------------------------------------}",
  };
  for (const std::string& text : bad) EXPECT_FALSE(Guid::parse(text).has_value()) << text;

  std::string withNul = good;
  withNul[5] = '\0';
  EXPECT_FALSE(Guid::parse(withNul).has_value());
  // Only the viewed characters count: a longer buffer cut to 38 parses.
  const std::string longer = good + "trailing";
  EXPECT_TRUE(Guid::parse(std::string_view(longer).substr(0, 38)).has_value());
}

TEST(FourCC, Codes_PutTheFirstCharacterHighest) {
  static_assert(qom::fourCC("bool") == 0x626F6F6Cu);
  static_assert(qom::fourCC("str") == 0x00737472u);
  static_assert(qom::fourCC("wndc") == 0x776E6463u);
  EXPECT_EQ(qom::fourCC("\xFF\xFE\xFD\xFC"), 0xFFFEFDFCu);  // no sign extension
}

// Records what arrived and answers the messages it knows.
class Probe final : public qom::Dispatchable {
 public:
  enum { kMsgSum = 10, kMsgNoResult = 11, kMsgText = 12, kMsgEnd = 13 };
  int dispatch(int message, void* result, void** args, int argCount) override {
    lastArgCount = argCount;
    switch (message) {
      case kMsgSum:
        qom::dispatchResult(result, qom::dispatchArg<int>(args, argCount, 0, 1000) +
                                        qom::dispatchArg<int>(args, argCount, 1, 2000));
        return 1;
      case kMsgNoResult: return 1;  // handled, but writes nothing
      case kMsgEnd:  // the entry after the last argument
        endEntryIsNull = args != nullptr && argCount >= 0 && args[argCount] == nullptr;
        return 1;
      case kMsgText: {
        const char* t = qom::dispatchArg<const char*>(args, argCount, 0, "<none>");
        qom::dispatchResult(result, std::string(t != nullptr ? t : "<null>"));
        return 1;
      }
      default: return 0;
    }
  }
  int lastArgCount = -1;
  bool endEntryIsNull = false;
};

TEST(Dispatch, CallsAndArguments_FallBackWhenMissingNullOrUnhandled) {
  Probe probe;
  EXPECT_EQ(qom::dispatchCall<int>(&probe, Probe::kMsgSum, -1, 3, 4), 7);
  EXPECT_EQ(probe.lastArgCount, 2);
  // The array ends with a null entry, also when there are no arguments.
  EXPECT_TRUE(qom::dispatchSend(&probe, Probe::kMsgEnd, 1, 2));
  EXPECT_TRUE(probe.endEntryIsNull);
  probe.endEntryIsNull = false;
  EXPECT_TRUE(qom::dispatchSend(&probe, Probe::kMsgEnd));
  EXPECT_TRUE(probe.endEntryIsNull);

  // Fewer arguments than the receiver reads: it gets its fallbacks.
  EXPECT_EQ(qom::dispatchCall<int>(&probe, Probe::kMsgSum, -1, 3), 2003);
  EXPECT_EQ(qom::dispatchCall<int>(&probe, Probe::kMsgSum, -1), 3000);
  EXPECT_EQ(probe.lastArgCount, 0);

  // A null array, a negative count, and null argument pointers.
  int result = -1;
  EXPECT_EQ(probe.dispatch(Probe::kMsgSum, &result, nullptr, 2), 1);
  EXPECT_EQ(result, 3000);
  EXPECT_EQ(probe.dispatch(Probe::kMsgSum, &result, nullptr, -5), 1);
  EXPECT_EQ(result, 3000);
  int five = 5;
  void* args[] = {nullptr, &five};
  EXPECT_EQ(probe.dispatch(Probe::kMsgSum, &result, args, 2), 1);
  EXPECT_EQ(result, 1005);
  // A count smaller than the array hides the rest.
  EXPECT_EQ(probe.dispatch(Probe::kMsgSum, &result, args, 1), 1);
  EXPECT_EQ(result, 3000);
  // A null result pointer is not written through.
  EXPECT_EQ(probe.dispatch(Probe::kMsgSum, nullptr, args, 2), 1);

  // Null texts reach the receiver as its fallback, not as a crash.
  EXPECT_EQ(qom::dispatchCall<std::string>(&probe, Probe::kMsgText, std::string("-"), "abc"), "abc");
  EXPECT_EQ(qom::dispatchCall<std::string>(&probe, Probe::kMsgText, std::string("-"),
                                           static_cast<const char*>(nullptr)),
            "<null>");

  // Unhandled messages and null receivers give the caller's fallback.
  EXPECT_EQ(qom::dispatchCall<int>(&probe, 999, 42, 1, 2), 42);
  EXPECT_EQ(qom::dispatchCall<int>(nullptr, Probe::kMsgSum, 42, 1, 2), 42);
  EXPECT_FALSE(qom::dispatchSend(&probe, 999, 1));
  EXPECT_FALSE(qom::dispatchSend(nullptr, Probe::kMsgSum));
  EXPECT_TRUE(qom::dispatchSend(&probe, Probe::kMsgSum, 1, 2));
  // Handled without a result written: the fallback stands.
  EXPECT_EQ(qom::dispatchCall<int>(&probe, Probe::kMsgNoResult, 77), 77);
}

}  // namespace
