// Quiran's entry: a second start on the same library hands over to the first; otherwise the
// main window first (it loads the album library as it is created), then the dialogs, each made
// once and reused, then the message loop until the main window closes.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "album/album_file.h"
#include "album/property_form.h"
#include "app/form1.h"
#include "catalogue/comment_form.h"
#include "catalogue/gauge_form.h"
#include "catalogue/hint_form.h"
#include "imaging/spi_bitmap.h"
#include "print/print_form.h"
#include "print/qz_printer.h"
#include "win/app.h"
#include "win/instance_lock.h"
#include "win/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES |
                                            ICC_USEREX_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&icc);
  // The shell's folder browser needs COM on this thread.
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // Plug-in formats are registered under the plug-in bitmap from the first search on.
  InitPictureFormats();
  struct PictureFormatsAtExit {
    ~PictureFormatsAtExit() { DonePictureFormats(); }
  } picturesAtExit;
  try {
    // One Quiran per library: there is no merging two libraries written by two programs at
    // once, so a second start brings the first one forward and ends.
    const std::string library = AlbumFilePath(win::ExePath());
    win::InstanceLock instance(library);
    if (!instance.Acquired()) {
      instance.BringHolderForward(10000);
      return 0;
    }
    // The printer information lives from start to exit.
    TQzPrinter qzPrinter;
    TForm1 form1(library);
    win::Application::SetMainWindow(form1.Handle());
    instance.Publish(form1.Handle());

    // The dialogs are created here, after the main window, hidden, once for the whole run.
    TPropertyForm propertyForm;
    form1.PropertyForm = &propertyForm;
    TAboutForm2 aboutForm2;
    form1.AboutForm2 = &aboutForm2;
    TSusieOptForm susieOptForm;
    form1.SusieOptForm = &susieOptForm;
    TGaugeForm gaugeForm;
    form1.GaugeForm = &gaugeForm;
    TPrintForm printForm;
    printForm.GaugeForm = &gaugeForm;
    form1.PrintForm = &printForm;
    TCommentForm commentForm;
    form1.CommentForm = &commentForm;
    THintForm hintForm;
    form1.HintForm = &hintForm;

    form1.ShowFirst(show);
    UpdateWindow(form1.Handle());
    return win::Application::Run();
  } catch (...) {
    win::Application::HandleCurrentException();
    return 1;
  }
}
