#include "catalogue/comment_form.h"

#include <commctrl.h>

#include <cstdio>

#include "catalogue/date_value.h"
#include "catalogue/shown_folder.h"
#include "win/app.h"
#include "win/canvas.h"
#include "win/error.h"
#include "win/modal.h"
#include "win/text.h"

namespace {

constexpr int kClientWidth = 323, kClientHeight = 207;

SYSTEMTIME SystemTimeOf(double value) {
  const TDateParts p = DatePartsOf(value);
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(p.Year);
  st.wMonth = static_cast<WORD>(p.Month);
  st.wDay = static_cast<WORD>(p.Day);
  st.wDayOfWeek = static_cast<WORD>(DayOfWeek(value));
  st.wHour = static_cast<WORD>(p.Hour);
  st.wMinute = static_cast<WORD>(p.Minute);
  st.wSecond = static_cast<WORD>(p.Second);
  st.wMilliseconds = static_cast<WORD>(p.Millisecond);
  return st;
}

double ValueOfSystemTime(const SYSTEMTIME& st) {
  return DateValueOf(TDateParts{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds});
}

double Now() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return ValueOfSystemTime(st);
}

// The Japanese long date ("2026年12月9日"), whatever the system's locale: the picker would
// otherwise follow the user's.
std::wstring JapaneseLongDateFormat() {
  wchar_t format[80] = {};
  if (!GetLocaleInfoW(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT), LOCALE_SLONGDATE,
                      format, 80))
    return L"yyyy'年'M'月'd'日'";
  return format;
}

}  // namespace

TCommentForm::TCommentForm() {
  CreateWindowOf(DialogArgs("コメント編集", kClientWidth, kClientHeight));
  font_ = win::CreateFontFrom(FontDesc{});  // "ＭＳ Ｐゴシック", 12 pixels

  FontDesc caption;
  caption.Height = -14;
  caption.Color = win::SysColor(COLOR_WINDOWTEXT);
  const struct {
    TLabel3D& label;
    const char* text;
    int y;
  } labels[] = {{Label3D1, "日付：", 8}, {Label3D2, "コメント：", 40}};
  for (const auto& l : labels) {
    l.label.SetFont(caption);
    l.label.SetStyle(lsRaised);
    l.label.SetCaption(l.text);
    l.label.SetBounds(8, l.y, 10, 16);
    l.label.SetParent(this);
  }
  SpeedButton1.SetFont(FontDesc{});
  SpeedButton1.SetCaption("FILE作成日");
  SpeedButton1.SetBounds(240, 5, 73, 22);
  SpeedButton1.SetParent(this);
  SpeedButton1.OnClick = [this](win::GraphicControl&) { SpeedButton1Click(); };

  // The picker's window class is registered on request only.
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_DATE_CLASSES};
  InitCommonControlsEx(&icc);
  // Created in the order of the keyboard focus: memo, OK, cancel, date.
  Memo1.CreateControl(L"EDIT", hwnd_, kMemo1Id,
                      WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_WANTRETURN |
                          ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                      WS_EX_CLIENTEDGE, 16, 56, 297, 113);
  // An edit holds 30,000 characters unless told otherwise; a pasted text longer than that
  // would be cut silently.
  SendMessageW(Memo1.Handle(), EM_SETLIMITTEXT, 0, 0);
  BitBtn1.CreateControl(L"BUTTON", hwnd_, IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 224, 176, 91, 25,
                        "閉じる");
  BitBtn2.CreateControl(L"BUTTON", hwnd_, IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 112, 176, 91, 25,
                        "キャンセル");
  DateTimePicker1.CreateControl(DATETIMEPICK_CLASSW, hwnd_, kDateTimePicker1Id,
                                WS_VISIBLE | WS_TABSTOP | DTS_LONGDATEFORMAT, 0, 48, 6, 186, 20);
  for (HWND c : {Memo1.Handle(), BitBtn1.Handle(), BitBtn2.Handle(), DateTimePicker1.Handle()})
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  const std::wstring format = JapaneseLongDateFormat();
  SendMessageW(DateTimePicker1.Handle(), DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(format.c_str()));
}

TCommentForm::~TCommentForm() {
  // Destroy the window while the controls it holds are still whole objects.
  if (hwnd_) DestroyWindow(hwnd_);
}

void TCommentForm::SetFileName(const std::string& name) {
  fileName_ = name;
  SetText(name + "のプロパティ");
}

void TCommentForm::SetFilePath(const std::string& path) { filePath_ = path; }

void TCommentForm::SetDate(double date) {
  const SYSTEMTIME st = SystemTimeOf(date);
  auto put = [this](const SYSTEMTIME& t) {
    SendMessageW(DateTimePicker1.Handle(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&t));
  };
  put(st);
  // A date the picker cannot show (from a damaged catalogue) is offered as an undated item's
  // is, never as whatever the dialog showed for the previous file. (Wine's picker says it took
  // a date before its range and keeps the old one: what it shows is read back.)
  SYSTEMTIME shown{};
  SendMessageW(DateTimePicker1.Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&shown));
  if (shown.wYear != st.wYear || shown.wMonth != st.wMonth || shown.wDay != st.wDay) put(SystemTimeOf(Now()));
}

double TCommentForm::GetDate() const {
  SYSTEMTIME st{};
  if (SendMessageW(DateTimePicker1.Handle(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID)
    return 0;
  return ValueOfSystemTime(st);
}

void TCommentForm::SetComment(const std::string& text) { Memo1.SetText(text); }

std::string TCommentForm::GetComment() const { return Memo1.Text(); }

bool TCommentForm::Execute(HWND owner) {
  return win::RunModal(hwnd_, owner, modalResult_, [this] {
           SetFocus(Memo1.Handle());
           if (OnShown) OnShown(*this);
         }) == IDOK;
}

void TCommentForm::SpeedButton1Click() {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  SYSTEMTIME utc{}, local{};
  if (!GetFileAttributesExW(win::Wide(filePath_).c_str(), GetFileExInfoStandard, &data)) {
    const DWORD error = GetLastError();
    const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    win::CurrentDialogs().MessageDlg(
        hwnd_,
        "ファイル " + filePath_ + (gone ? " が見つかりません。" : " の日付を読めません。\r\n" + win::LastErrorText()) +
            "\r\n日付は変更しませんでした。",
        win::Application::Title(), MB_OK | MB_ICONWARNING);
    return;
  }
  // Local time by the rules in force on that date, as Explorer shows it.
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
    return;
  local.wSecond = static_cast<WORD>(local.wSecond - local.wSecond % 2);
  local.wMilliseconds = 0;
  SetDate(ValueOfSystemTime(local));
}

bool TCommentForm::CommentFits() {
  const int length = GetWindowTextLengthW(Memo1.Handle());
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(Memo1.Handle(), text.data(), length + 1)));
  if (win::NarrowExact(text)) return true;
  // The first character without a Shift-JIS form (a surrogate pair is one character), named by
  // its code, since this message cannot show it, and by the text before it.
  std::size_t at = 0, size = 1;
  for (; at < text.size(); at += size) {
    size = IS_HIGH_SURROGATE(text[at]) && at + 1 < text.size() ? 2 : 1;
    if (!win::NarrowExact(std::wstring_view(text).substr(at, size))) break;
  }
  const std::uint32_t code = size == 2 ? 0x10000 + ((text[at] - 0xD800u) << 10) + (text[at + 1] - 0xDC00u) : text[at];
  char hex[16];
  std::snprintf(hex, sizeof hex, "U+%04X", code);
  const std::size_t from = at > 10 ? at - 10 : 0;
  const std::string before = win::Narrow(std::wstring_view(text).substr(from, at - from));
  win::CurrentDialogs().MessageDlg(hwnd_,
                                   Format("コメントの「%s」の次の文字（%s）は Shift-JIS で表せないため、保存できません。"
                                          "\r\nこの文字を消すか、別の文字に直してください。",
                                          {before, hex}),
                                   win::Application::Title(), MB_OK | MB_ICONWARNING);
  SetFocus(Memo1.Handle());
  SendMessageW(Memo1.Handle(), EM_SETSEL, at, at + size);
  return false;
}

LRESULT TCommentForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  // OK stores the comment: one that cannot be stored as typed keeps the dialog open.
  if (msg == WM_COMMAND && LOWORD(wp) == IDOK && !CommentFits()) return 0;
  if (LRESULT answer = 0; win::OkCancelMessage(msg, wp, modalResult_, answer)) return answer;
  return Window::HandleMessage(msg, wp, lp);
}

bool EditFileComment(TCommentForm& form, TShownFolder& folder, std::size_t i, int colorDepth, HWND owner) {
  if (folder.Busy() || i >= folder.Items.size()) return false;
  const TFileItem& item = folder.Items[i];
  const TPictureEntry* entry = item.Entry.get();
  form.SetFileName(item.Name);
  form.SetDate(entry && entry->Date != 0 ? entry->Date : Now());
  form.SetComment(entry ? entry->Comment : std::string());
  form.SetFilePath(FolderFilePath(folder.Path(), item.DiskName));
  if (!form.Execute(owner)) return false;
  folder.SetNote(i, form.GetDate(), form.GetComment(), colorDepth);
  return true;
}
