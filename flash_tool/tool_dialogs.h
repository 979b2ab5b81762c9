// The one door through which the tool asks the operator anything: message
// boxes, the "Boot code" question, file dialogs and the "DownLoad Progress"
// dialog. The program installs a presenter that shows Qt widgets; tests
// install an answering hook that records each request and answers it. With
// neither (the command line), messages are only traced, questions answered
// No and file dialogs cancelled.
//
// UI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tarvek {

enum class BoxIcon { kNone = 1, kStop, kQuestion, kInformation };

enum class DialogKind {
  kMessage = 1,  // text, caption, icon; answered with OK
  kBootCode,     // the "Boot code" dialog; accepted = Yes
  kOpenFile,     // filter; accepted with a path
  kSaveFile,     // filter; accepted with a path
};

struct DialogRequest {
  DialogKind kind = DialogKind::kMessage;
  std::string text;
  std::string caption;
  BoxIcon icon = BoxIcon::kNone;
  std::string filter;  // "download file (*.bin)|*.bin||"
};

struct DialogAnswer {
  bool accepted = false;
  std::string path;
};

// The "DownLoad Progress" dialog as the block transfer drives it. Cancelled()
// also lets the operator's input through while the transfer runs.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void Show(const std::string& image_path, uint32_t length, int range_max) = 0;
  virtual void SetPercent(int percent) = 0;
  virtual void SetPosition(int position) = 0;
  virtual bool Cancelled() = 0;
  virtual void Hide() = 0;
};

class ToolDialogs {
 public:
  using Answerer = std::function<DialogAnswer(const DialogRequest&)>;
  using ProgressFactory = std::function<std::unique_ptr<ProgressView>()>;

  // The program's real dialogs.
  void SetPresenter(Answerer presenter, ProgressFactory progress);
  // A test's answers; they take precedence over the presenter.
  void SetAnswerHook(Answerer hook, ProgressFactory progress = {});

  void Message(const std::string& text, const std::string& caption = "", BoxIcon icon = BoxIcon::kNone);
  // "Error" with a stop icon: the tool's usual refusal.
  void Error(const std::string& text) { Message(text, "Error", BoxIcon::kStop); }
  bool AskBootCode();
  std::optional<std::string> ChooseOpenFile(const std::string& filter);
  std::optional<std::string> ChooseSaveFile(const std::string& filter);
  std::unique_ptr<ProgressView> OpenProgress();

 private:
  DialogAnswer Ask(const DialogRequest& request);

  Answerer presenter_;
  ProgressFactory presenter_progress_;
  Answerer hook_;
  ProgressFactory hook_progress_;
};

}  // namespace tarvek
