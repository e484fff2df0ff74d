// Configuration items and groups: what values are accepted, who is told of a
// change, and the same through the dispatch interface the host uses.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "sdk/config.h"

namespace {

using qom::ConfigGroup;
using qom::ConfigGroupImpl;
using qom::ConfigItem;
using qom::ConfigItemImpl;

class RecordingObserver final : public qom::ConfigObserver {
 public:
  int dispatch(int message, void*, void** args, int argCount) override {
    if (message != kMsgItemChanged) return 0;
    changes.emplace_back(qom::dispatchArg<ConfigGroup*>(args, argCount, 0),
                         qom::dispatchArg<ConfigItem*>(args, argCount, 1));
    return 1;
  }
  std::vector<std::pair<ConfigGroup*, ConfigItem*>> changes;
};

TEST(ConfigItem, BoolItem_AcceptsIntegerTextsOnlyAndStoresZeroOrOne) {
  ConfigGroupImpl group;
  ConfigItemImpl* item = group.addBool("flag", true);
  EXPECT_EQ(item->value(), "1");
  EXPECT_EQ(group.addBool("off", false)->value(), "0");

  const std::pair<const char*, const char*> accepted[] = {
      {"0", "0"}, {"1", "1"}, {"7", "1"}, {"-3", "1"}, {"00", "0"}, {"+0", "0"}, {"-0", "0"},
  };
  for (const auto& [text, stored] : accepted) {
    EXPECT_TRUE(item->setValue(text)) << text;
    EXPECT_EQ(item->value(), stored) << text;
    EXPECT_EQ(item->valueAsInt(), stored[0] - '0') << text;
  }

  ASSERT_TRUE(item->setValue("1"));
  for (const char* text : {"", "true", "yes", "abc", "1x", "1 ", "0x1", "1.0", "-",
                           "99999999999999999999999999"}) {
    EXPECT_FALSE(item->setValue(text)) << text;
    EXPECT_EQ(item->value(), "1") << text;
  }
}

TEST(ConfigItem, TextItem_TakesAnythingAndReadsAsIntWhereItCan) {
  ConfigGroupImpl group;
  ConfigItemImpl* item = group.addString("folder", "C:\\Music");
  EXPECT_EQ(item->value(), "C:\\Music");
  EXPECT_EQ(item->valueAsInt(), 0);
  for (const char* text : {"", "anything at all", "1", "\xE9t\xE9", "  spaces  "}) {
    EXPECT_TRUE(item->setValue(text)) << text;
    EXPECT_EQ(item->value(), text);
  }
  ASSERT_TRUE(item->setValue("42"));
  EXPECT_EQ(item->valueAsInt(), 42);
  ASSERT_TRUE(item->setValue("-17 trailing"));
  EXPECT_EQ(item->valueAsInt(), -17);
  ASSERT_TRUE(item->setValue("99999999999"));  // past int
  EXPECT_EQ(item->valueAsInt(), 0);
  ASSERT_TRUE(item->setValue("-99999999999"));
  EXPECT_EQ(item->valueAsInt(), 0);
}

TEST(ConfigItem, ChangeCallbackAndObserver_FireOncePerRealChangeOnly) {
  ConfigGroupImpl group;
  std::vector<std::string> boolChanges, textChanges;
  ConfigItemImpl* flag =
      group.addBool("flag", false, [&](const std::string& v) { boolChanges.push_back(v); });
  ConfigItemImpl* text = group.addString("text", "a", [&](const std::string& v) {
    textChanges.push_back(v);
    // Runs outside the item's lock: reading the item back must not block.
    EXPECT_EQ(text->value(), v);
  });
  RecordingObserver observer;
  group.setObserver(&observer);

  EXPECT_TRUE(flag->setValue("0"));  // unchanged
  EXPECT_TRUE(flag->setValue("5"));  // becomes "1"
  EXPECT_TRUE(flag->setValue("9"));  // still "1": no change
  EXPECT_FALSE(flag->setValue("x")); // refused: no change
  EXPECT_TRUE(flag->setValue("0"));
  EXPECT_EQ(boolChanges, (std::vector<std::string>{"1", "0"}));

  EXPECT_TRUE(text->setValue("a"));  // unchanged
  EXPECT_TRUE(text->setValue("b"));
  EXPECT_TRUE(group.setString("text", "b"));
  EXPECT_TRUE(group.setString("text", "c"));
  EXPECT_EQ(textChanges, (std::vector<std::string>{"b", "c"}));

  ConfigGroup* asGroup = &group;
  ConfigItem* flagItem = flag;
  ConfigItem* textItem = text;
  const std::vector<std::pair<ConfigGroup*, ConfigItem*>> expected = {
      {asGroup, flagItem}, {asGroup, flagItem}, {asGroup, textItem}, {asGroup, textItem}};
  EXPECT_EQ(observer.changes, expected);

  // Withdrawn observer: callbacks go on, the observer hears nothing more.
  group.setObserver(nullptr);
  EXPECT_TRUE(text->setValue("d"));
  EXPECT_EQ(observer.changes.size(), 4u);
  EXPECT_EQ(textChanges.size(), 3u);
}

TEST(ConfigGroup, Group_ReadersAndWritersByName_HandleUnknownNames) {
  ConfigGroupImpl group;
  group.addBool("flag", true);
  group.addString("text", "12");
  EXPECT_EQ(group.find("missing"), nullptr);
  EXPECT_EQ(group.find("Flag"), nullptr);  // exact names only
  EXPECT_EQ(group.getString("missing"), "");
  EXPECT_EQ(group.getInt("missing"), 0);
  EXPECT_FALSE(group.setString("missing", "1"));
  EXPECT_EQ(group.getString("flag"), "1");
  EXPECT_EQ(group.getInt("flag"), 1);
  EXPECT_EQ(group.getInt("text"), 12);
  EXPECT_FALSE(group.setString("flag", "maybe"));
  EXPECT_EQ(group.getString("flag"), "1");
}

TEST(ConfigGroup, DispatchInterface_ServesItemsAndRefusesWhatIsNotThere) {
  ConfigGroupImpl group;
  group.setName("Rondel");
  const qom::Guid id = *qom::Guid::parse("{01020304-0506-0708-090A-0B0C0D0E0F10}");
  group.setGuid(id);
  ConfigItemImpl* flag = group.addBool("flag", false);
  ConfigItemImpl* text = group.addString("text", "default");

  ConfigGroup* g = &group;
  EXPECT_STREQ(g->name(), "Rondel");
  EXPECT_EQ(g->guid(), id);
  EXPECT_TRUE(g->parentGuid().isNull());
  EXPECT_EQ(g->itemCount(), 2);
  EXPECT_EQ(g->itemAt(0), static_cast<ConfigItem*>(flag));
  EXPECT_EQ(g->itemAt(1), static_cast<ConfigItem*>(text));
  EXPECT_EQ(g->itemAt(2), nullptr);
  EXPECT_EQ(g->itemAt(-1), nullptr);
  EXPECT_EQ(qom::dispatchCall<ConfigItem*>(g, ConfigGroup::kMsgItemAt, nullptr), nullptr);
  EXPECT_EQ(g->itemByName("text"), static_cast<ConfigItem*>(text));
  EXPECT_EQ(g->itemByName("TEXT"), nullptr);
  EXPECT_EQ(g->itemByName(""), nullptr);
  EXPECT_EQ(g->itemByName(nullptr), nullptr);
  EXPECT_EQ(qom::dispatchCall<ConfigItem*>(g, ConfigGroup::kMsgItemByName, nullptr), nullptr);
  EXPECT_EQ(qom::dispatchCall<int>(g, 9999, -1), -1);

  ConfigItem* b = g->itemByName("flag");
  ASSERT_NE(b, nullptr);
  EXPECT_STREQ(b->name(), "flag");
  EXPECT_EQ(b->type(), 0x626F6F6Cu);  // "bool"
  EXPECT_STREQ(b->editorGroup(), qom::kEditorGroupBool);
  EXPECT_EQ(b->text(), "0");
  EXPECT_EQ(b->defaultText(), "0");
  EXPECT_TRUE(b->setText("3"));
  EXPECT_EQ(b->text(), "1");
  EXPECT_EQ(b->intValue(), 1);
  EXPECT_FALSE(b->setText("on"));
  EXPECT_FALSE(b->setText(nullptr));
  EXPECT_FALSE(qom::dispatchCall<int>(b, ConfigItem::kMsgSetText, 0) != 0);  // no argument
  EXPECT_EQ(b->text(), "1");
  EXPECT_EQ(b->defaultText(), "0");

  ConfigItem* t = g->itemAt(1);
  EXPECT_EQ(t->type(), 0x00737472u);  // "str"
  EXPECT_STREQ(t->editorGroup(), qom::kEditorGroupString);
  EXPECT_TRUE(t->setText("new"));
  EXPECT_EQ(t->text(), "new");
  EXPECT_EQ(t->defaultText(), "default");
  EXPECT_EQ(qom::dispatchCall<int>(t, 9999, -1), -1);

  // The observer set through the interface reaches every item, also those
  // without a change callback.
  RecordingObserver observer;
  g->setObserver(&observer);
  EXPECT_TRUE(t->setText("newer"));
  EXPECT_TRUE(b->setText("0"));
  ASSERT_EQ(observer.changes.size(), 2u);
  EXPECT_EQ(observer.changes[0].second, t);
  EXPECT_EQ(observer.changes[1].second, b);
  EXPECT_EQ(observer.changes[1].first, g);
  // A set-observer message without an argument withdraws it.
  EXPECT_TRUE(qom::dispatchSend(g, ConfigGroup::kMsgSetObserver));
  EXPECT_TRUE(t->setText("newest"));
  EXPECT_EQ(observer.changes.size(), 2u);
}

}  // namespace
