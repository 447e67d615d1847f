#include "win/window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "win/app.h"
#include "win/error.h"
#include "imaging/fault_guard.h"
#include "win/text.h"

namespace win {

namespace {
const wchar_t kClassName[] = L"QuiranWindow";


// Registers (once) the class for a combination of class style, background and cursor and
// returns its name; one class per combination is enough for all of Quiran's windows.
std::wstring EnsureClass(UINT style, HBRUSH background, HCURSOR cursor, WNDPROC proc) {
  wchar_t name[80];
  swprintf(name, 80, L"%ls_%x_%p_%p", kClassName, style, static_cast<void*>(background),
           static_cast<void*>(cursor));
  WNDCLASSEXW wc{};
  if (GetClassInfoExW(Application::Instance(), name, &wc)) return name;
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = Application::Instance();
  wc.hCursor = cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  wc.hIcon = LoadIconW(Application::Instance(), MAKEINTRESOURCEW(1));
  if (!RegisterClassExW(&wc)) throw Exception("ウィンドウクラスを登録できません: " + LastErrorText());
  return name;
}

int ButtonOf(UINT msg) {
  switch (msg) {
    case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK: return 1;
    case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK: return 2;
    default: return 0;
  }
}
}  // namespace

Window::~Window() {
  DestroyUnlinked();
  // Detaching takes each control out of graphics_, so detach from a list moved out of it.
  std::vector<GraphicControl*> hosted = std::move(graphics_);
  graphics_.clear();
  for (GraphicControl* g : hosted) g->SetParent(nullptr);
}

void Window::DestroyUnlinked() {
  if (!hwnd_) return;
  HWND h = hwnd_;
  SetWindowLongPtrW(h, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  DestroyWindow(h);
}

Window* Window::FromHandle(HWND hwnd) {
  return hwnd ? reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) : nullptr;
}

Window* Window::TopLevelOf(HWND hwnd) {
  HWND root = hwnd ? GetAncestor(hwnd, GA_ROOT) : nullptr;
  // Another module's window (a system dialog) may keep anything in its user data.
  wchar_t cls[32] = {};
  const int prefix = static_cast<int>(wcslen(kClassName));
  if (!root || GetClassNameW(root, cls, 32) <= prefix || wcsncmp(cls, kClassName, prefix) != 0) return nullptr;
  return FromHandle(root);
}

void Window::CreateWindowOf(const CreateArgs& args) {
  std::wstring cls = EnsureClass(args.classStyle, args.background, args.cursor, &Window::Proc);
  HWND h = CreateWindowExW(args.exStyle, cls.c_str(), Wide(args.text).c_str(), args.style, args.x, args.y,
                           args.width, args.height, args.parent, args.menuOrId, Application::Instance(), this);
  if (!h) throw Exception("ウィンドウを作成できません: " + LastErrorText());
}

Window::CreateArgs Window::DialogArgs(const std::string& caption, int clientWidth, int clientHeight) {
  CreateArgs a;
  a.text = caption;
  a.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  a.exStyle = WS_EX_DLGMODALFRAME;
  RECT outer{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&outer, a.style, FALSE, a.exStyle);
  a.width = outer.right - outer.left;
  a.height = outer.bottom - outer.top;
  a.x = (GetSystemMetrics(SM_CXSCREEN) - a.width) / 2;
  a.y = (GetSystemMetrics(SM_CYSCREEN) - a.height) / 2;
  a.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  return a;
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  Window* self = FromHandle(hwnd);
  return self ? self->Dispatch(msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
}

namespace {

DispatchHook dispatchHook;

// The hook around one window procedure call.
class HookScope {
 public:
  HookScope() : token_(dispatchHook.Enter ? dispatchHook.Enter() : nullptr) {}
  ~HookScope() {
    if (dispatchHook.Leave) dispatchHook.Leave(token_);
  }
  HookScope(const HookScope&) = delete;
  HookScope& operator=(const HookScope&) = delete;

 private:
  void* token_;
};

}  // namespace

void SetDispatchHook(DispatchHook hook) { dispatchHook = hook; }

LRESULT Window::Dispatch(UINT msg, WPARAM wp, LPARAM lp) noexcept {
  HookScope hook;
  HWND hwnd = hwnd_;
  LRESULT result = 0;
  if (msg == ShowPaintFailureMessage()) {
    ShowPaintFailure();
    return 0;
  }
  try {
    result = HandleMessage(msg, wp, lp);
  } catch (...) {
    if (msg == WM_PAINT || msg == WM_DRAWITEM) {
      // A picture that cannot be drawn must not ask for WM_PAINT again and again.
      if (msg == WM_PAINT) ValidateRect(hwnd, nullptr);
      NotePaintFailure();
    } else {
      Application::HandleCurrentException();
    }
  }
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    try {
      OnDestroyed();
    } catch (...) {
      Application::HandleCurrentException();
    }
  }
  return result;
}

UINT Window::ShowPaintFailureMessage() {
  static const UINT message = RegisterWindowMessageW(L"Quiran.ShowPaintFailure");
  return message;
}

void Window::NotePaintFailure() noexcept {
  // Shown once, after painting: a message box per item, or one opened inside WM_PAINT, would
  // bring the next paint and the next failure with it.
  if (paintFailureNoted_ || !hwnd_) return;
  paintFailureNoted_ = true;
  paintFailure_ = std::current_exception();
  PostMessageW(hwnd_, ShowPaintFailureMessage(), 0, 0);
}

void Window::ShowPaintFailure() noexcept {
  std::exception_ptr failure = std::exchange(paintFailure_, nullptr);
  if (!failure) return;
  try {
    std::rethrow_exception(failure);
  } catch (...) {
    Application::HandleCurrentException();
  }
}

bool Window::Reflect(HWND child, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  auto* control = dynamic_cast<Control*>(FromHandle(child));
  return control && control->OnReflect(msg, wp, lp, result);
}

LRESULT Window::Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

LRESULT Window::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_PAINT:
      if (!graphics_.empty()) {
        PaintDc pdc(hwnd_);
        PaintGraphics(pdc.Dc(), pdc.PaintRect());
        return 0;
      }
      break;
    case WM_COMMAND:
      if (LRESULT r = 0; lp && Reflect(reinterpret_cast<HWND>(lp), msg, wp, lp, r)) return r;
      break;
    case WM_NEXTDLGCTL: {
      // A multi-line edit asks its parent to move the focus when Tab is pressed in it; only the
      // system's dialog class would do it, and our dialogs are windows of our own class.
      HWND next = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(hwnd_, GetFocus(), wp != 0);
      if (next) SetFocus(next);
      return 0;
    }
    case WM_NOTIFY:
      if (LRESULT r = 0; Reflect(reinterpret_cast<NMHDR*>(lp)->hwndFrom, msg, wp, lp, r)) return r;
      break;
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (LRESULT r = 0; dis->CtlType != ODT_MENU && Reflect(dis->hwndItem, msg, wp, lp, r)) return TRUE;
      break;
    }
    case WM_MEASUREITEM: {
      auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
      HWND item = GetDlgItem(hwnd_, static_cast<int>(mis->CtlID));
      if (LRESULT r = 0; mis->CtlType != ODT_MENU && Reflect(item, msg, wp, lp, r)) return TRUE;
      break;
    }
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MOUSEMOVE:
      if (RouteMouse(msg, wp, lp)) return 0;
      break;
    case WM_SETCURSOR:
      // Children ask their parent first, so the top-level windows decide for all of them.
      if (Application::BusyCursor()) {
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
  }
  return Default(msg, wp, lp);
}

bool Window::RouteMouse(UINT msg, WPARAM wp, LPARAM lp) {
  POINT p{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  GraphicControl* target = captured_ ? captured_ : GraphicAt(p);
  if (!target) return false;
  int x = p.x - target->Left(), y = p.y - target->Top();
  switch (msg) {
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
      captured_ = target;
      SetCapture(hwnd_);
      target->MouseDown(ButtonOf(msg), x, y);
      break;
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP: {
      captured_ = nullptr;
      if (GetCapture() == hwnd_) ReleaseCapture();
      bool inside = PtInRect(&target->BoundsRect(), p);
      target->MouseUp(ButtonOf(msg), x, y, inside);
      break;
    }
    case WM_LBUTTONDBLCLK:
      target->DblClick();
      break;
    case WM_RBUTTONDBLCLK:
      target->MouseDown(1, x, y);
      break;
    case WM_MOUSEMOVE:
      target->MouseMove(x, y);
      break;
  }
  return true;
}

RECT Window::ClientRect() const {
  RECT r{};
  GetClientRect(hwnd_, &r);
  return r;
}

RECT Window::Bounds() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  if (HWND parent = GetParent(hwnd_); parent && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD))
    MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Window::SetBounds(int x, int y, int w, int h) {
  SetWindowPos(hwnd_, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::Invalidate() { InvalidateRect(hwnd_, nullptr, TRUE); }

void Window::SetText(const std::string& text) { SetWindowTextW(hwnd_, Wide(text).c_str()); }

std::string Window::Text() const {
  int n = GetWindowTextLengthW(hwnd_);
  std::wstring w(static_cast<std::size_t>(n) + 1, L'\0');
  n = GetWindowTextW(hwnd_, w.data(), n + 1);
  w.resize(static_cast<std::size_t>(n));
  return Narrow(w);
}

void Window::Show(bool visible) { ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE); }
bool Window::Visible() const { return IsWindowVisible(hwnd_) != FALSE; }
void Window::Enable(bool enabled) { EnableWindow(hwnd_, enabled); }

void Window::AddGraphic(GraphicControl* control) {
  if (std::find(graphics_.begin(), graphics_.end(), control) == graphics_.end()) graphics_.push_back(control);
}

void Window::RemoveGraphic(GraphicControl* control) {
  std::erase(graphics_, control);
  if (captured_ == control) captured_ = nullptr;
}

void Window::PaintGraphics(HDC dc, const RECT& area) {
  for (GraphicControl* g : graphics_) {
    RECT meet;
    if (!g->Visible() || !IntersectRect(&meet, &g->BoundsRect(), &area)) continue;
    int saved = SaveDC(dc);
    IntersectClipRect(dc, g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height());
    SetViewportOrgEx(dc, g->Left(), g->Top(), nullptr);
    // A control that fails to draw leaves the others to draw theirs.
    try {
      Canvas canvas(dc);
      g->Paint(canvas);
    } catch (...) {
      NotePaintFailure();
    }
    RestoreDC(dc, saved);
  }
}

GraphicControl* Window::GraphicAt(POINT p) const {
  for (auto it = graphics_.rbegin(); it != graphics_.rend(); ++it)
    if ((*it)->Visible() && (*it)->Enabled() && PtInRect(&(*it)->BoundsRect(), p)) return *it;
  return nullptr;
}

void Control::CreateControl(const wchar_t* className, HWND parent, int id, DWORD style, DWORD exStyle, int x,
                            int y, int w, int h, const std::string& text) {
  id_ = id;
  hwnd_ = CreateWindowExW(exStyle, className, Wide(text).c_str(), style | WS_CHILD, x, y, w, h, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Application::Instance(), nullptr);
  if (!hwnd_) throw Exception("コントロールを作成できません: " + LastErrorText());
  SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(static_cast<Window*>(this)));
  SetWindowSubclass(hwnd_, &Control::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

Control::~Control() {
  // The window goes now, while this object is whole. The subclass goes first, so the system
  // class handles the window's last messages itself (a tree view then reports its deleted
  // items) and nothing reaches this object any more.
  if (hwnd_) RemoveWindowSubclass(hwnd_, &Control::SubclassProc, 1);
  DestroyUnlinked();
}

LRESULT CALLBACK Control::SubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  LRESULT result = reinterpret_cast<Control*>(ref)->Dispatch(msg, wp, lp);
  if (msg == WM_NCDESTROY) RemoveWindowSubclass(hwnd, &Control::SubclassProc, 1);
  return result;
}

LRESULT Control::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    // A control can host graphic controls and take reflected notifications of its own
    // children (a panel holding a tree view); everything else goes to its system class.
    case WM_COMMAND: case WM_NOTIFY: case WM_DRAWITEM: case WM_MEASUREITEM:
      return Window::HandleMessage(msg, wp, lp);
    case WM_PAINT:
    case WM_LBUTTONDOWN: case WM_RBUTTONDOWN: case WM_MBUTTONDOWN:
    case WM_LBUTTONUP: case WM_RBUTTONUP: case WM_MBUTTONUP:
    case WM_LBUTTONDBLCLK: case WM_RBUTTONDBLCLK: case WM_MOUSEMOVE:
      if (!Graphics().empty()) return Window::HandleMessage(msg, wp, lp);
      break;
  }
  return DefSubclassProc(hwnd_, msg, wp, lp);
}

LRESULT Control::Default(UINT msg, WPARAM wp, LPARAM lp) { return DefSubclassProc(hwnd_, msg, wp, lp); }

GraphicControl::~GraphicControl() { SetParent(nullptr); }

void GraphicControl::SetParent(Window* host) {
  if (parent_ == host) return;
  if (parent_) {
    Invalidate();
    parent_->RemoveGraphic(this);
  }
  parent_ = host;
  if (parent_) {
    parent_->AddGraphic(this);
    Invalidate();
  }
}

void GraphicControl::SetBounds(int x, int y, int w, int h) {
  RECT next{x, y, x + w, y + h};
  if (EqualRect(&next, &bounds_)) return;
  Invalidate();
  bounds_ = next;
  Invalidate();
}

void GraphicControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  if (parent_ && parent_->Handle()) InvalidateRect(parent_->Handle(), &bounds_, TRUE);
}

void GraphicControl::SetEnabled(bool e) {
  if (e == enabled_) return;
  enabled_ = e;
  Invalidate();
}

void GraphicControl::Invalidate() {
  if (parent_ && parent_->Handle() && visible_) InvalidateRect(parent_->Handle(), &bounds_, TRUE);
}

void GraphicControl::MouseDown(int button, int x, int y) {
  pressed_ = button == 0;
  if (OnMouseDown) OnMouseDown(*this, button, x, y);
}

void GraphicControl::MouseUp(int button, int x, int y, bool inside) {
  bool click = pressed_ && button == 0 && inside;
  pressed_ = false;
  if (click && OnClick) OnClick(*this);
  if (OnMouseUp) OnMouseUp(*this, button, x, y);
}

void GraphicControl::MouseMove(int x, int y) {
  if (OnMouseMove) OnMouseMove(*this, x, y);
}

void GraphicControl::DblClick() {
  if (OnDblClick) OnDblClick(*this);
}

}  // namespace win
