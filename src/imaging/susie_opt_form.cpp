#include "imaging/susie_opt_form.h"

#include <algorithm>

#include "imaging/wic_image.h"
#include "win/canvas.h"
#include "win/modal.h"

namespace {
constexpr int kClientWidth = 361, kClientHeight = 265;
}  // namespace

TSusieOptForm::TSusieOptForm() {
  CreateWindowOf(DialogArgs("Susie Plugin の選択", kClientWidth, kClientHeight));
  font_ = win::CreateFontFrom(FontDesc{});

  FontDesc caption;
  caption.Height = -14;
  caption.Bold = true;
  caption.Color = win::SysColor(COLOR_WINDOWTEXT);
  Label3D1.SetFont(caption);
  Label3D1.SetStyle(lsRaised);
  Label3D1.SetUpColor(win::SysColor(COLOR_BTNHIGHLIGHT));
  Label3D1.SetDownColor(win::SysColor(COLOR_BTNSHADOW));
  Label3D1.SetShadowXOffset(0);
  Label3D1.SetShadowYOffset(0);
  Label3D1.SetCaption("Susie Plugin の選択");
  Label3D1.SetBounds(8, 8, 10, 16);
  Label3D1.SetParent(this);

  CheckListBox1.Create(hwnd_, kCheckListBox1Id, 8, 24, 201, 201, font_);
  CheckListBox1.SetItemHeight(12);
  Memo1.CreateControl(L"EDIT", hwnd_, kMemo1Id, WS_VISIBLE | ES_MULTILINE | ES_READONLY, 0, 224, 24, 129, 201,
                      "使用する Susie Plug-in \r\nにチェックマークを付けて\r\nください。");
  BitBtn1.CreateControl(L"BUTTON", hwnd_, IDOK, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 128, 232, 105, 25, "OK");
  BitBtn2.CreateControl(L"BUTTON", hwnd_, IDCANCEL, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 248, 232, 105, 25,
                        "キャンセル");
  for (HWND c : {Memo1.Handle(), BitBtn1.Handle(), BitBtn2.Handle()})
    SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
}

TSusieOptForm::~TSusieOptForm() {
  // Destroy the window while the controls it holds are still whole objects.
  if (hwnd_) DestroyWindow(hwnd_);
}

void TSusieOptForm::SetList(const std::vector<std::string>& lines) {
  CheckListBox1.Clear();
  int widest = 0;
  for (const std::string& line : lines) {
    CheckListBox1.Add(line);
    widest = std::max(widest, CheckListBox1.TextWidth(line));
  }
  CheckListBox1.SetHorizontalExtent(widest + 30);
}

bool TSusieOptForm::Execute(HWND owner) {
  return win::RunModal(hwnd_, owner, modalResult_, [this] {
           SetFocus(CheckListBox1.Handle());
           if (OnShown) OnShown(*this);
         }) == IDOK;
}

bool TSusieOptForm::ChooseFormats(TSPIs& spis, HWND owner) {
  // The plug-ins' formats, then those of Windows' codecs.
  const std::vector<TFormatLine> lines = FormatLines(spis);
  const std::vector<TWicFormat>& wic = WicFormats();
  std::vector<std::string> texts;
  for (const TFormatLine& line : lines) texts.push_back(line.Text);
  for (const TWicFormat& f : wic) texts.push_back(WicFormatLine(f));
  SetList(texts);
  for (std::size_t i = 0; i < lines.size(); ++i)
    CheckListBox1.SetChecked(static_cast<int>(i), spis.FormatInUse(*lines[i].Plugin, lines[i].Format));
  for (std::size_t i = 0; i < wic.size(); ++i)
    CheckListBox1.SetChecked(static_cast<int>(lines.size() + i), WicFormatInUse(wic[i], spis.FormatChoice()));
  if (!Execute(owner)) return false;
  bool changed = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool inUse = CheckListBox1.Checked(static_cast<int>(i));
    if (inUse == spis.FormatInUse(*lines[i].Plugin, lines[i].Format)) continue;
    spis.SetFormatInUse(*lines[i].Plugin, lines[i].Format, inUse);
    changed = true;
  }
  TFormatChoice choice = spis.FormatChoice();
  for (std::size_t i = 0; i < wic.size(); ++i)
    choice.SetInUse(kWicName, wic[i].Filter, CheckListBox1.Checked(static_cast<int>(lines.size() + i)));
  if (!(choice == spis.FormatChoice())) {
    spis.SetFormatChoice(std::move(choice));
    changed = true;
  }
  return changed;
}

LRESULT TSusieOptForm::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  if (LRESULT answer = 0; win::OkCancelMessage(msg, wp, modalResult_, answer)) return answer;
  return Window::HandleMessage(msg, wp, lp);
}
