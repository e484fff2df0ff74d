#pragma once
// What the component hands the main window: its settings, each read at the
// moment of use (a change in the preferences applies to the next action),
// and the page its "Preferences" button opens. The window never reaches for
// the configuration itself. Any thread.
#include <string>

namespace rondel {

class WindowSettings {
 public:
  virtual ~WindowSettings() = default;

  virtual std::string device() const = 0;     // "Device": the drive name to select
  virtual bool useFreedb() const = 0;         // "Use Freedb"
  virtual std::string freedbServer() const = 0;
  virtual bool useProxy() const = 0;
  virtual std::string proxyServer() const = 0;
  virtual std::string email() const = 0;
  virtual std::string format() const = 0;     // "Format"
  virtual bool resync() const = 0;            // "Resync"
  virtual bool eject() const = 0;             // "Eject" after a copy that ran every job
  virtual bool useOutputFolder() const = 0;   // "Use Output Folder"
  virtual std::string outputFolder() const = 0;
  // "Output Filename 1" (Copy Selected), 2 and 3 (Copy All with one artist
  // or several); an empty text for another number.
  virtual std::string outputFilename(int number) const = 0;
  // The GUID (text form) of the preference page "Preferences" opens.
  virtual std::string preferencesPage() const = 0;
};

}  // namespace rondel
