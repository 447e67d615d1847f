// The program a user copies without its plug-in helpers: Quiran.exe alone in a folder, with a
// plug-in beside it and an album of plug-in pictures, started as a process of its own. It still
// shows the plug-in's pictures (reading them inside itself) and says in the status bar that the
// helper is missing. The test drives it from outside, as a user would: it clicks the book,
// moves down to the folder in the tree, reads the status bar and closes the window, then reads
// the catalogue the program wrote for the folder.
#include <gtest/gtest.h>

#include "album/album_file.h"
#include "app/main_layout.h"
#include "catalogue/catalogue_file.h"
#include "imaging/spi_host.h"
#include "imaging/win_test_util.h"
#include "win/handle.h"

using namespace imgtest;

namespace {

struct Found {
  DWORD Pid;
  HWND Main = nullptr;
};

// The program's main window: a visible top-level window of the process with a status bar.
BOOL CALLBACK FindMain(HWND w, LPARAM lp) {
  auto* f = reinterpret_cast<Found*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == f->Pid && IsWindowVisible(w) && GetDlgItem(w, app::kStatusBar1)) {
    f->Main = w;
    return FALSE;
  }
  return TRUE;
}

// Polls until the test holds or the time is up.
template <class F>
bool WaitFor(F test, DWORD ms) {
  const ULONGLONG until = GetTickCount64() + ms;
  while (!test()) {
    if (GetTickCount64() > until) return false;
    Sleep(100);
  }
  return true;
}

// A status bar panel's text in another process: the bar writes it into memory of its own
// process, from where it is read.
std::string RemoteStatusText(HANDLE process, HWND bar, int panel) {
  const SIZE_T room = 4096;
  void* remote = VirtualAllocEx(process, nullptr, room, MEM_COMMIT, PAGE_READWRITE);
  if (!remote) return "(no memory in the program)";
  DWORD_PTR length = 0;
  SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, panel, 0, SMTO_ABORTIFHUNG, 10000, &length);
  std::wstring text(std::min<std::size_t>(LOWORD(length), room / sizeof(wchar_t) - 1), L'\0');
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(bar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 10000, &ignored);
  SIZE_T got = 0;
  ReadProcessMemory(process, remote, text.data(), text.size() * sizeof(wchar_t), &got);
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return win::Narrow(text);
}

}  // namespace

TEST(ProgramCopiedAlone, ShowsItsPluginsPicturesAndSaysTheHelperIsMissing) {
  TempDir program, pictures;
  const std::string exe = program.Path() + "Quiran.exe";
  ASSERT_TRUE(CopyFileW(win::Wide(std::string(sjis::ExtractFilePath(win::ExePath())) + "Quiran.exe").c_str(),
                        win::Wide(exe).c_str(), FALSE));
  program.CopyPlugin("ppm");  // found beside the program
  pictures.File("a.ppm", Ppm(30, 20));
  pictures.File("b.ppm", Ppm(12, 9));
  TFolderList folders;
  folders.push_back({pictures.win::TempFolder::Path(), std::make_unique<TFolderRecord>()});
  std::vector<AlbumRef> albums = {AlbumRef{"プラグイン", 0x0000FF, "ＭＳ 明朝", 0xFFFFFF, folders}};
  win::TempFolder::Write(program.Path() + "Quiran.Alb", WriteAlbumLibrary(albums));

  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + win::Wide(exe) + L"\"";
  ASSERT_TRUE(CreateProcessW(win::Wide(exe).c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             win::Wide(program.Path()).c_str(), &si, &pi));
  win::Process process(pi.hProcess);
  CloseHandle(pi.hThread);
  struct EndOnFailure {
    HANDLE p;
    ~EndOnFailure() {
      if (WaitForSingleObject(p, 0) == WAIT_TIMEOUT) TerminateProcess(p, 1);
    }
  } end{process};

  Found found{pi.dwProcessId};
  ASSERT_TRUE(WaitFor([&] { return !EnumWindows(&FindMain, reinterpret_cast<LPARAM>(&found)) || found.Main; }, 120000));
  const HWND main = found.Main;
  const HWND stage = GetDlgItem(GetDlgItem(main, app::kPanel1), app::kStageItem);
  const HWND tree = GetDlgItem(GetDlgItem(main, app::kPanel2), app::kTreeView1);
  const HWND list = GetDlgItem(GetDlgItem(main, app::kPanel2), app::kListBox1);
  ASSERT_TRUE(stage && tree && list);

  // It says once, at start, that it runs its plug-ins inside itself.
  const std::string helper(sjis::ExtractFileName(TSPIHost::ProgramPath(TSPIHost::kOwn)));
  EXPECT_EQ(RemoteStatusText(process, GetDlgItem(main, app::kStatusBar1), 1),
            helper + " を起動できないため、プラグインを Quiran の中で動かしています");

  // The first book, clicked; then its folder, selected in the tree.
  const LPARAM onBook = MAKELPARAM(app::kBookWidth / 2, app::kBookHeight / 2);
  PostMessageW(stage, WM_LBUTTONDOWN, MK_LBUTTON, onBook);
  PostMessageW(stage, WM_LBUTTONUP, 0, onBook);
  LPARAM root = 0;
  ASSERT_TRUE(WaitFor([&] { return (root = SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)) != 0; }, 60000));
  ASSERT_NE(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, root), 0);
  // From the album's node one down, as with the arrow key.
  SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, root);
  PostMessageW(tree, WM_KEYDOWN, VK_DOWN, 1);
  PostMessageW(tree, WM_KEYUP, VK_DOWN, 0xC0000001);
  EXPECT_TRUE(WaitFor([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == 2; }, 120000));

  // Closed as a user closes it: the folder's catalogue is written with both pictures' sizes,
  // which only the plug-in could read.
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_EQ(WaitForSingleObject(process, 120000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process, &code);
  EXPECT_EQ(code, 0u);
  std::vector<std::uint8_t> bytes = win::TempFolder::Read(pictures.Path() + kCatalogueFileName);
  TCatalogue catalogue = ParseCatalogue(bytes);
  ASSERT_EQ(catalogue.size(), 2u);
  for (const TCatalogueItem& item : catalogue) {
    const bool a = item.Name == "A.PPM";
    EXPECT_EQ(item.Entry.PixelWidth, a ? 30 : 12) << item.Name;
    EXPECT_EQ(item.Entry.PixelHeight, a ? 20 : 9) << item.Name;
  }
}
