// A loadable module for the loader tests.
#include "platform/resources.h"

extern "C" __attribute__((visibility("default"))) int platform_testlib_twice_plus_one(int x) {
  return 2 * x + 1;
}

namespace {
const unsigned char kModuleBlob[] = {'m', 'o', 'd'};
const platform::ResourceEntry kEntries[] = {
    {platform::kResourceTypeRcData, 7, kModuleBlob, sizeof kModuleBlob},
};
}  // namespace

QOM_RESOURCE_TABLE({kEntries, 1});
