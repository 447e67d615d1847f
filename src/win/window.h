// Windows and controls. A Window owns its HWND: `this` is linked through GWLP_USERDATA at
// WM_NCCREATE and unlinked at WM_NCDESTROY. Each class has one dispatch switch
// (HandleMessage) that calls typed handlers. Notifications a parent receives (WM_COMMAND,
// WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM) are reflected back to the child control's object.
// Windowless graphic controls paint on their host's surface and take its mouse events.
#pragma once
#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win/canvas.h"

namespace win {

class GraphicControl;

// Runs around every window procedure call of Quiran's windows: Enter before the handler,
// Leave with Enter's answer after it. A layer that calls foreign code which may run a message
// loop (the plug-ins) learns this way when Quiran's own code runs again.
struct DispatchHook {
  void* (*Enter)() = nullptr;
  void (*Leave)(void* token) = nullptr;
};
void SetDispatchHook(DispatchHook hook);

class Window {
 public:
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;
  virtual ~Window();

  HWND Handle() const { return hwnd_; }
  explicit operator bool() const { return hwnd_ != nullptr; }

  // Client-area helpers.
  RECT ClientRect() const;
  void SetBounds(int x, int y, int w, int h);
  RECT Bounds() const;  // in the parent's client coordinates
  void Invalidate();
  void SetText(const std::string& text);
  std::string Text() const;
  void Show(bool visible = true);
  bool Visible() const;
  void Enable(bool enabled);

  // The object linked to a window handle, or null.
  static Window* FromHandle(HWND hwnd);
  // The object of the top-level window holding hwnd, when that window is one of Quiran's own.
  static Window* TopLevelOf(HWND hwnd);

  // A key typed in this top-level window or its children, before it is translated and
  // dispatched: true when the window used it. The window's own shortcuts go here
  // (TranslateAcceleratorW with its table), and a modeless dialog's keys
  // (IsDialogMessageW(hwnd_, &msg)); other windows take none, so one window's shortcuts never
  // act in another.
  virtual bool TranslateKeys(MSG& msg) { return false; }

  // Windowless controls hosted on this window, in z-order (last is topmost).
  void AddGraphic(GraphicControl* control);
  void RemoveGraphic(GraphicControl* control);
  const std::vector<GraphicControl*>& Graphics() const { return graphics_; }
  // Paints the hosted controls that meet the rectangle, bottom to top.
  void PaintGraphics(HDC dc, const RECT& area);
  // The topmost visible hosted control under a client point, or null.
  GraphicControl* GraphicAt(POINT p) const;

 protected:
  struct CreateArgs {
    const wchar_t* className = nullptr;  // a registered class, or null to register our own
    std::string text;
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, width = CW_USEDEFAULT, height = CW_USEDEFAULT;
    HWND parent = nullptr;
    HMENU menuOrId = nullptr;
    HBRUSH background = nullptr;
    HCURSOR cursor = nullptr;
    UINT classStyle = CS_DBLCLKS;
  };
  // Creates the window of our own class; this is linked before WM_CREATE.
  void CreateWindowOf(const CreateArgs& args);
  // A dialog's window: fixed dialog border, caption and close box, the given client size,
  // centred on the screen, hidden.
  static CreateArgs DialogArgs(const std::string& caption, int clientWidth, int clientHeight);

  // The dispatch switch; the default forwards to the default procedure, paints the hosted
  // graphic controls, routes mouse messages to them and reflects child notifications.
  virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
  // The window's own default handling: DefWindowProc, or for a control its system class.
  virtual LRESULT Default(UINT msg, WPARAM wp, LPARAM lp);

  // Runs HandleMessage with failures shown, and unlinks the object at WM_NCDESTROY. A
  // failure to paint (WM_PAINT, WM_DRAWITEM) is shown once, after the painting.
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp) noexcept;
  // Inside a catch block: keeps the failure to show once painting is over, the first only.
  void NotePaintFailure() noexcept;

  // Called at WM_NCDESTROY, after which the object no longer has a window.
  virtual void OnDestroyed() {}

  // Unlinks the object from its window, then destroys the window (when there is one).
  void DestroyUnlinked();

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  bool RouteMouse(UINT msg, WPARAM wp, LPARAM lp);
  // Hands a child's notification back to the child control's object; true when handled.
  static bool Reflect(HWND child, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

  static UINT ShowPaintFailureMessage();
  void ShowPaintFailure() noexcept;

  std::vector<GraphicControl*> graphics_;
  GraphicControl* captured_ = nullptr;
  std::exception_ptr paintFailure_;
  bool paintFailureNoted_ = false;
};

// A control of a system class (tree view, list box, tool bar ...). The object is linked
// through GWLP_USERDATA so its parent can reflect notifications to it, and the control is
// subclassed so the object sees its own messages too.
class Control : public Window {
 public:
  ~Control() override;
  // Creates the control as a child of parent with the given id.
  void CreateControl(const wchar_t* className, HWND parent, int id, DWORD style, DWORD exStyle = 0,
                     int x = 0, int y = 0, int w = 0, int h = 0, const std::string& text = {});
  int Id() const { return id_; }

  // Reflected notification from the parent; return true when handled (result set).
  virtual bool OnReflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) { return false; }

 protected:
  // The control's own messages (subclass); default calls the system class.
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  // Messages the shared handling leaves (a tool tip's request to its tool bar) go to the
  // system class, never to DefWindowProc, which would drop them.
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR ref);
  int id_ = 0;
};

// A control without a window of its own: it paints on its host window's surface inside its
// bounds and receives the host's mouse events that fall inside them.
class GraphicControl {
 public:
  virtual ~GraphicControl();
  GraphicControl() = default;
  GraphicControl(const GraphicControl&) = delete;
  GraphicControl& operator=(const GraphicControl&) = delete;

  // Puts the control on a host (or takes it off with nullptr).
  void SetParent(Window* host);
  Window* Parent() const { return parent_; }

  int Left() const { return bounds_.left; }
  int Top() const { return bounds_.top; }
  int Width() const { return bounds_.right - bounds_.left; }
  int Height() const { return bounds_.bottom - bounds_.top; }
  const RECT& BoundsRect() const { return bounds_; }
  void SetBounds(int x, int y, int w, int h);
  void SetLeft(int x) { SetBounds(x, Top(), Width(), Height()); }
  void SetTop(int y) { SetBounds(Left(), y, Width(), Height()); }
  void SetWidth(int w) { SetBounds(Left(), Top(), w, Height()); }
  void SetHeight(int h) { SetBounds(Left(), Top(), Width(), h); }

  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool e);
  int Tag() const { return tag_; }
  void SetTag(int t) { tag_ = t; }

  // Asks the host to repaint the control's area.
  void Invalidate();
  // Draws the control on a canvas whose origin is the control's top-left corner.
  virtual void Paint(Canvas& canvas) = 0;

  // Mouse events, in the control's own coordinates.
  std::function<void(GraphicControl&)> OnClick;
  std::function<void(GraphicControl&)> OnDblClick;
  std::function<void(GraphicControl&, int button, int x, int y)> OnMouseDown;
  std::function<void(GraphicControl&, int button, int x, int y)> OnMouseUp;
  std::function<void(GraphicControl&, int x, int y)> OnMouseMove;

  // Called by the host; button is 0 left, 1 right, 2 middle.
  virtual void MouseDown(int button, int x, int y);
  virtual void MouseUp(int button, int x, int y, bool inside);
  virtual void MouseMove(int x, int y);
  virtual void DblClick();

 private:
  Window* parent_ = nullptr;
  RECT bounds_{0, 0, 0, 0};
  bool visible_ = true;
  bool enabled_ = true;
  bool pressed_ = false;
  int tag_ = 0;
};

}  // namespace win
