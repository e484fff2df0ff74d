#pragma once
// The component's fourteen configuration items, their defaults, and the
// three item lists the preference pages offer.
#include <array>
#include <string>

#include "sdk/config.h"

namespace rondel {

namespace key {
constexpr const char* kFormat = "Format";
constexpr const char* kEject = "Eject";
constexpr const char* kUseOutputFolder = "Use Output Folder";
constexpr const char* kOutputFolder = "Output Folder";
constexpr const char* kOutputFilename1 = "Output Filename 1";
constexpr const char* kOutputFilename2 = "Output Filename 2";
constexpr const char* kOutputFilename3 = "Output Filename 3";
constexpr const char* kDevice = "Device";
constexpr const char* kResync = "Resync";
constexpr const char* kUseFreedb = "Use Freedb";
constexpr const char* kFreedbServer = "Freedb Server";
constexpr const char* kUseProxy = "Use Proxy";
constexpr const char* kProxyServer = "Proxy Server";
constexpr const char* kEMail = "EMail";
}  // namespace key

// Database servers offered in "rondel:SERVERS"; the first is the default.
// The first three speak the CDDB protocol over HTTP at /~cddb/cddb.cgi on
// port 80 today; the rest are addresses of a local mirror (the cddb-server
// tool listens on 8880 by default) on the ports such servers commonly use.
constexpr std::array<const char*, 13> kFreedbServers{
    "gnudb.gnudb.org",   "freedb.dbpoweramp.com", "cddb.retrobridge.org", "localhost:8880",
    "127.0.0.1:8880",    "localhost",             "127.0.0.1",            "localhost:8080",
    "127.0.0.1:8080",    "localhost:8000",        "127.0.0.1:8000",       "localhost:8888",
    "127.0.0.1:8888"};

// Sent in the database greeting until the user gives a real address, which
// servers such as gnudb ask for.
constexpr const char* kDefaultEMail = "rondel@example.org";

// Adds the items to the group in their fixed order. `onDeviceChanged` runs
// whenever the "Device" value changes.
void addConfigItems(qom::ConfigGroupImpl& group,
                    qom::ConfigItemImpl::ChangeCallback onDeviceChanged);

// The process-wide configuration group of the component (set by the
// component object when it is built); readers take values at the moment of
// use and never keep them.
qom::ConfigGroupImpl& config();
void setConfig(qom::ConfigGroupImpl* group);

}  // namespace rondel
