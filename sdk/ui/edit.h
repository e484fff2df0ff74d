#pragma once
// A one-line edit field. Its text is read and set like the window system's
// get-text and set-text messages (neither notifies). Typed keys change the
// text at the caret, replacing a selection, and each notifies the parent
// with kNotifyEditKey; Enter notifies kNotifyEditEnter.
#include <string>

#include "sdk/ui/window.h"

namespace qom::ui {

class Edit : public Window {
 public:
  explicit Edit(Window* parent = nullptr) : Window(parent) {}
  static constexpr WindowKind kKind = WindowKind::Edit;
  WindowKind kind() const override { return kKind; }

  std::string text() const;
  // The caret goes to the end; nothing stays selected.
  void setText(std::string text);
  void selectAll();
  // The selected range [start, end) and the caret, in bytes.
  int selectionStart() const;
  int selectionEnd() const;

  // User input (window thread). Each character of `text` is one key.
  void userType(const std::string& text);
  void userBackspace();
  void userEnter();
  // A view whose own widget edited the text hands over the whole new text
  // and the caret; counts as one key.
  void userReplaceText(std::string text, int caret);
  // A view reports the user's own selection (no notification).
  void userSelect(int start, int end);

 private:
  void keyProcessed();
  mutable std::mutex mutex_;
  std::string text_;
  int selStart_ = 0, selEnd_ = 0;  // caret = selEnd_
};

}  // namespace qom::ui
