#pragma once
// Which picture a three-state skinned button shows. Kept apart from the widget
// so the rules can be checked without a display.

enum class HoverFace { Normal, Hover, Click };

class HoverState {
 public:
  void MouseEntered() { hover_ = true; }
  void MouseLeft() { hover_ = false; }
  // Pressing arms the button; the click counts only if released over it.
  void Pressed() { pressed_ = true; }
  // Returns true when the release completes a click.
  bool Released(bool insideButton) {
    bool click = pressed_ && insideButton;
    pressed_ = false;
    return click;
  }
  void Cancelled() { pressed_ = false; }

  bool hover() const { return hover_; }
  bool pressed() const { return pressed_; }

  // Pressed beats hover: a button held down under the mouse shows its click face.
  // While the button is held and the mouse leaves, the normal face shows, as a
  // release there will not click.
  HoverFace Face() const {
    if (pressed_ && hover_) return HoverFace::Click;
    if (hover_ && !pressed_) return HoverFace::Hover;
    return HoverFace::Normal;
  }

 private:
  bool hover_ = false;
  bool pressed_ = false;
};
