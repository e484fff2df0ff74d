// A shared library with a resource table, linked into platform_testlib_user.
#include "platform/resources.h"

namespace {
const unsigned char kDepBlob[] = {'d', 'e', 'p'};
const platform::ResourceEntry kEntries[] = {
    {platform::kResourceTypeRcData, 9, kDepBlob, sizeof kDepBlob},
};
}  // namespace

QOM_RESOURCE_TABLE({kEntries, 1});

extern "C" __attribute__((visibility("default"))) int platform_testlib_dep_value() { return 9; }
