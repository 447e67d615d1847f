// Scripted answers for the platform's modal dialogs, for tests: while one of these exists
// it stands in for the real message boxes, colour chooser, folder browser and printer setup.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "win/app.h"

namespace win {

class ScriptedDialogs : public Dialogs {
 public:
  struct Message {
    std::string text, caption;
    UINT flags;
  };
  ScriptedDialogs() { SetDialogs(this); }
  ~ScriptedDialogs() override { SetDialogs(nullptr); }

  int MessageDlg(HWND, const std::string& text, const std::string& caption, UINT flags) override {
    messages.push_back({text, caption, flags});
    if (onMessage) onMessage(messages.back());
    if (answers.empty()) return IDOK;
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::uint32_t> PickColor(HWND, std::uint32_t initial) override {
    colorAsked.push_back(initial);
    if (colors.empty()) return std::nullopt;
    auto c = colors.front();
    colors.pop_front();
    return c;
  }
  void LastResortMessage(HWND, const wchar_t*) noexcept override { ++lastResortMessages; }
  std::optional<std::string> BrowseFolder(HWND, const std::string& title) override {
    browseTitles.push_back(title);
    if (folders.empty()) return std::nullopt;
    auto f = folders.front();
    folders.pop_front();
    return f;
  }

  std::vector<Message> messages;
  std::deque<int> answers;  // message box answers in order; IDOK when none is left
  std::function<void(const Message&)> onMessage;  // runs while a message box is up
  std::vector<std::uint32_t> colorAsked;
  std::deque<std::optional<std::uint32_t>> colors;
  bool PrinterSetup(PRINTDLGW& pd) override {
    ++printerSetupsShown;
    if (printerSetups.empty()) return false;
    auto answer = printerSetups.front();
    printerSetups.pop_front();
    return answer(pd);
  }

  std::vector<std::string> browseTitles;
  std::deque<std::optional<std::string>> folders;
  int lastResortMessages = 0;
  // Printer setup answers in order: each may change pd and says whether the user confirmed;
  // cancelled when none is left.
  std::deque<std::function<bool(PRINTDLGW&)>> printerSetups;
  int printerSetupsShown = 0;
};

// Answers the next real platform dialog (class "#32770") that appears while this object
// lives: a timer posts `command` (IDNO, IDCANCEL ...) to it once it is up.
class AnswerRealDialog {
 public:
  explicit AnswerRealDialog(int command) {
    command_ = command;
    timer_ = SetTimer(nullptr, 0, 50, &Tick);
  }
  AnswerRealDialog(const AnswerRealDialog&) = delete;
  AnswerRealDialog& operator=(const AnswerRealDialog&) = delete;
  ~AnswerRealDialog() { KillTimer(nullptr, timer_); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = FindWindowW(L"#32770", nullptr);
    if (!box || !IsWindowVisible(box)) return;
    KillTimer(nullptr, id);
    PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(command_), 0);
  }
  static inline int command_ = IDCANCEL;
  UINT_PTR timer_;
};

}  // namespace win
