// A module whose resource table claims entries but has no array.
#include "platform/resources.h"

QOM_RESOURCE_TABLE({nullptr, 5});
