#pragma once
// What every mirrored widget shares: the model it shows, cleared when the
// view lets go of the model so that a widget still waiting for deferred
// deletion never calls into a model that is gone. Window thread only.
#include <string>

#include "sdk/ui/window.h"

namespace qomhost::fltk {

class Bound {
 public:
  explicit Bound(qom::ui::Window* model) : model_(model) {}
  virtual ~Bound() = default;
  // Copies the model's state into the widget (window thread).
  virtual void syncFromModel() = 0;
  void unbind() { model_ = nullptr; }
  qom::ui::Window* model() const { return model_; }

 protected:
  qom::ui::Window* model_;
};

// Models hold Windows-1252; FLTK draws UTF-8.
std::string toFltk(const std::string& cp1252);
std::string fromFltk(const char* utf8);
// The toolkit's text sizes are the skin font's cell heights; FLTK's are
// pixel sizes of a larger-looking font. 14 (the window's labels) becomes 11,
// which fits the 15-pixel label rows and the 40-pixel label columns.
int pixelSize(int toolkitSize);
// A text for a widget label or menu item: FLTK would otherwise read "@" as a
// symbol and "&" as a shortcut mark.
std::string escapeLabel(const std::string& utf8);

}  // namespace qomhost::fltk
