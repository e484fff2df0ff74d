#pragma once
// "Format" picks an encoder and its setting by label: a value that is none
// of the labels the component offers would give every job setting 0.
#include <string>

#include "host/core/host_session.h"

namespace qomhost {

// True when key is not "Format" or value (Windows-1252, as stored) is one of
// the offered labels. Otherwise says so on stderr, listing the labels, and
// returns false. valueUtf8 is the value as the user gave it.
bool formatChoiceAllowed(HostSession& session, const std::string& key, const std::string& value,
                         const std::string& valueUtf8);

}  // namespace qomhost
