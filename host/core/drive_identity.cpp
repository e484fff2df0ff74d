#include "host/core/drive_identity.h"

#include <cdio/cdio.h>
#include <cdio/device.h>

#include <cstring>
#include <memory>
#include <string_view>

#include "drivers/cdr/offsets_file.h"
#include "platform/ascii.h"

namespace qomhost {
namespace {

struct CdioClose {
  void operator()(CdIo_t* cdio) const { cdio_destroy(cdio); }
};

}  // namespace

std::string DriveIdentity::vendorModel() const {
  if (vendor.empty()) return model;
  return model.empty() ? vendor : vendor + " " + model;
}

std::string devicePathOfName(const std::string& name) {
  if (name.size() < 4 || name.back() != ')') return "";
  const std::size_t open = name.rfind(" (/");
  if (open == std::string::npos) return "";
  std::string path = name.substr(open + 2, name.size() - open - 3);
  if (path.size() > 4096 || path.find_first_of("()") != std::string::npos) return "";
  return path;
}

DriveIdentity identifyDrive(const std::string& name) {
  DriveIdentity identity;
  identity.path = devicePathOfName(name);
  if (identity.path.empty()) return identity;
  std::unique_ptr<CdIo_t, CdioClose> cdio(cdio_open(identity.path.c_str(), DRIVER_LINUX));
  cdio_hwinfo_t info{};
  if (cdio && cdio_get_hwinfo(cdio.get(), &info)) {
    identity.vendor = platform::inquiryField({info.psz_vendor, strnlen(info.psz_vendor, sizeof info.psz_vendor)});
    identity.model = platform::inquiryField({info.psz_model, strnlen(info.psz_model, sizeof info.psz_model)});
  }
  const std::string key = identity.vendorModel();
  const std::string file = cdr::offsetsFilePath();
  if (key.empty() || file.empty()) return identity;
  const std::optional<nlohmann::json> offsets = cdr::readOffsetsFile(file, identity.offsetProblem);
  if (!offsets) return identity;
  const auto it = offsets->find(key);
  if (it != offsets->end() && it->is_number_integer()) {
    const auto v = it->get<std::int64_t>();
    if (v >= -cdr::kMaxReadOffset && v <= cdr::kMaxReadOffset) identity.offset = static_cast<std::int32_t>(v);
  }
  return identity;
}

}  // namespace qomhost
