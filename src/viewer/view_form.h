// The viewer: one picture file in a window of its own, at 25 % to 400 %, scrolled by the
// scroll bars or by dragging it with the hand, copied to the clipboard from its context menu.
// Any number of viewers are open at once; each stands in the main window's window menu while
// it is open. A viewer owns itself: it is made by Create, and its object goes with its window
// when the window closes.
//
// The paint area (the picture at the zoom) is not a window: it is as large as the zoomed
// picture (16000 x 12000 for a 12-megapixel photograph at 400 %), so only the part of it the
// client area shows is ever drawn, straight from the source picture's rows.
//
// A large picture is decoded on a worker thread while its window is already on the screen:
// the worker fills the rows of a buffer sized from the picture's header and tells the window,
// a few times a second, how many are done; the window draws those and the window's colour
// below them. The worker belongs to the window: closing the window, or opening another
// picture in it, stops the worker and waits for it before anything it uses goes.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "imaging/graphics.h"
#include "viewer/view_geometry.h"
#include "win/handle.h"
#include "win/pixel_buffer.h"
#include "win/window.h"

class TRowDecoder;

class TViewForm : public win::Window {
 public:
  // A new viewer, hidden, with FormCreate run: the window made ahead if there is one.
  static TViewForm& Create();
  // Makes a window ahead, hidden, for the next viewer, unless one is waiting (once a viewer
  // opened from the list has its picture in place). A failure only leaves none.
  static void MakeSpare() noexcept;
  ~TViewForm() override;
  // The viewers open now.
  static int Count();
  // Closes every viewer and the window made ahead (the main window going).
  static void DestroyAll();

  std::string FileName;  // the shown picture's full path
  TPicture Picture;
  int Zoom = 100;     // percent
  int MenuItem = 0;   // command of the window-menu entry standing for this viewer; 0 none
  POINT DragStart{};  // where the left button went down, in paint-area coordinates
  // Removes a window-menu entry from the main window (its RemoveWindowMenuItem).
  std::function<void(int command)> OnRemoveMenuItem;

  // Loads the file, titles the window with its path and sizes the window to the picture.
  // On failure the error is raised and the viewer shows what it showed before.
  void OpenPicture(const std::string& path);
  // OpenPicture in two steps, for a picture decoded elsewhere meanwhile: the caption and the
  // window's size for a picture of the given size, then the picture itself (the window is
  // sized again should its size differ).
  void PreparePicture(const std::string& path, viewer::Extent pictureSize);
  void SetPicture(TPicture picture);
  // OpenPicture with the decoding on a worker thread, which may have started before the
  // window was made: PreparePicture for a picture of the given size, then the window paints
  // the rows as the decoder reports them done. When all are, the picture (of class `kind`) is
  // Picture. When the decoding fails the rows done so far stay, the rest in the window's
  // colour, and its error is shown; with no row done the viewer closes instead, as if it had
  // never opened. The viewer owns the decoder from here on.
  void DecodePicture(const std::string& path, viewer::Extent pictureSize, const TGraphicClass& kind,
                     std::unique_ptr<TRowDecoder> decoder);
  // Opening a picture from the list: the window shows without its scroll bars, which come
  // once the picture is whole on the screen, the window then fitted again with them. Wine
  // takes several times as long to show a window with scroll bars (as long as decoding a
  // large photograph), and its work on them would slow the decoding down meanwhile; the
  // picture is what the user is waiting for.
  void HoldScrollBars() { barsHeld_ = true; }
  bool ScrollBarsHeld() const { return barsHeld_; }
  // Whether a picture is being decoded.
  bool Decoding() const { return decoder_ != nullptr; }
  // How many of the picture's rows the latest paint could draw.
  int RowsPainted() const { return rowsPainted_; }
  void SetMenuItem(int command) { MenuItem = command; }
  // The paint area's size: the picture at the zoom.
  viewer::Extent PaintSize() const;
  // The scroll positions (the paint-area point at the client's top-left corner).
  POINT ScrollPosition() const { return scroll_; }
  // Sets one scroll bar's position, kept within its range; the client area scrolls with it.
  void SetScrollPosition(int bar, int pos);
  HMENU PopupMenu1() const { return popup_; }
  // The context menu's command of a zoom item by its tag (25 ... 400), and of the others.
  static int ZoomCommand(int tag);
  enum MenuCommand { kCopy1 = 1, kFullScreen1, kClose1 };
  void ExecuteCommand(int command);
  // Puts the window's top-left corner at a screen point (before the picture sizes it).
  void MoveTo(int x, int y);
  // The window's width that shows its whole caption with the title bar's buttons.
  int CaptionWidth() const;

  // Handlers, named after the window's events.
  void FormCreate();
  // Draws the part of the picture the canvas's clip box holds (paint-area coordinates).
  void PaintBox1Paint(win::Canvas& canvas);
  // Every zoom item: the zoom is the item's tag.
  void N4001Click(int command);
  // Mouse on the paint area, in paint-area coordinates; button 0 left, 1 right, 2 middle.
  void PaintBox1MouseDown(int button, int x, int y);
  void PaintBox1MouseMove(bool leftHeld, int x, int y);
  void PaintBox1MouseUp();
  void Copy1Click();
  // "全画面表示": the picture alone on the whole screen, reduced to fit it, on black; Esc, a
  // click or the item again gives the window back as it was.
  void FullScreen1Click();
  bool FullScreen() const { return fullScreen_; }
  void Close1Click();
  void FormDestroy();

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
  void OnDestroyed() override;

 private:
  TViewForm();
  // Sets the window to its left and top with the size, then fits it to the paint area and
  // the screen.
  void SizeAndFit(int width, int height);
  // Fits the window as it is now to the paint area and the screen.
  void Fit();
  // Once the picture is painted whole: the scroll bars held back come, and the window is
  // fitted again with them.
  void ReleaseScrollBars();
  // Scroll ranges and pages from the paint area and the client area; positions kept in range.
  void UpdateScrollBars();
  // Draws a scroll bar at the view's position.
  void ShowScrollPosition(int bar);
  void Paint();
  // The picture's rows a paint draws now, and how many of them there are.
  const PixelBuffer& ShownPixels(int& rows) const;
  // The worker's report: the rows done since the last are painted; at the end, Picture.
  void RowsArrived(WPARAM generation);
  void FinishDecoding();
  // Stops the worker, if any, and waits for it; its picture is dropped.
  void StopDecoding();
  bool InPaintArea(POINT client) const;

  void EnterFullScreen();
  void LeaveFullScreen();
  void PaintFullScreen(HDC dc);

  win::Menu popup_;
  bool fullScreen_ = false;
  WINDOWPLACEMENT windowed_{};  // the window's place before full screen
  LONG_PTR windowedStyle_ = 0;
  PixelBuffer fitted_;          // the picture as full screen shows it
  viewer::Extent pictureSize_;  // the picture's, or the one being decoded
  POINT scroll_{0, 0};
  bool dragging_ = false;
  int nextBar_ = SB_HORZ;  // the scroll bar a drag draws next
  bool updatingBars_ = false;
  bool barsHeld_ = false;

  std::unique_ptr<TRowDecoder> decoder_;  // the worker decoding the picture, while it runs
  const TGraphicClass* decodedKind_ = nullptr;
  WPARAM generation_ = 0;             // of the latest decoder: reports of older ones are dropped
  int readyRows_ = 0;                 // rows of the decoder's picture the paints draw
  int rowsPainted_ = 0;
};
