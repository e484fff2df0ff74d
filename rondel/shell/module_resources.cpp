// The module's embedded resources: the launcher icon images.
#include <cstddef>

#include "platform/resources.h"
#include "rondel/shell/launcher_icon.h"

namespace rondel::icons {
extern const unsigned char klaunchernormal[];
extern const std::size_t klaunchernormalSize;
extern const unsigned char klauncheractivated[];
extern const std::size_t klauncheractivatedSize;
extern const unsigned char klauncherhighlighted[];
extern const std::size_t klauncherhighlightedSize;
}  // namespace rondel::icons

namespace {
using platform::kResourceTypeRcData;
const platform::ResourceEntry kEntries[] = {
    {kResourceTypeRcData, rondel::kIconNormal, rondel::icons::klaunchernormal,
     rondel::icons::klaunchernormalSize},
    {kResourceTypeRcData, rondel::kIconActivated, rondel::icons::klauncheractivated,
     rondel::icons::klauncheractivatedSize},
    {kResourceTypeRcData, rondel::kIconHighlighted, rondel::icons::klauncherhighlighted,
     rondel::icons::klauncherhighlightedSize},
};
}  // namespace

QOM_RESOURCE_TABLE({kEntries, sizeof kEntries / sizeof kEntries[0]});
