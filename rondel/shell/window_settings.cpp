#include "rondel/shell/window_settings.h"

#include "rondel/shell/config_items.h"
#include "rondel/shell/identity.h"

namespace rondel {
namespace {

class ConfigWindowSettings final : public WindowSettings {
 public:
  std::string device() const override { return text(key::kDevice); }
  bool useFreedb() const override { return flag(key::kUseFreedb); }
  std::string freedbServer() const override { return text(key::kFreedbServer); }
  bool useProxy() const override { return flag(key::kUseProxy); }
  std::string proxyServer() const override { return text(key::kProxyServer); }
  std::string email() const override { return text(key::kEMail); }
  std::string format() const override { return text(key::kFormat); }
  bool resync() const override { return flag(key::kResync); }
  bool eject() const override { return flag(key::kEject); }
  bool useOutputFolder() const override { return flag(key::kUseOutputFolder); }
  std::string outputFolder() const override { return text(key::kOutputFolder); }
  std::string outputFilename(int number) const override {
    switch (number) {
      case 1: return text(key::kOutputFilename1);
      case 2: return text(key::kOutputFilename2);
      case 3: return text(key::kOutputFilename3);
      default: return {};
    }
  }
  std::string preferencesPage() const override { return kComponentGuid.toString(); }

 private:
  static std::string text(const char* name) { return config().getString(name); }
  static bool flag(const char* name) { return config().getInt(name) != 0; }
};

}  // namespace

const WindowSettings& componentWindowSettings() {
  static const ConfigWindowSettings settings;
  return settings;
}

}  // namespace rondel
