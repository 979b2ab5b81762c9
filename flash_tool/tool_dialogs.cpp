#include "flash_tool/tool_dialogs.h"

#include "platform/trace.h"

namespace tarvek {
namespace {

// Stands in for the progress dialog where nobody watches: nothing to show
// and nobody to press Cancel.
class SilentProgress : public ProgressView {
 public:
  void Show(const std::string&, uint32_t, int) override {}
  void SetPercent(int) override {}
  void SetPosition(int) override {}
  bool Cancelled() override { return false; }
  void Hide() override {}
};

}  // namespace

void ToolDialogs::SetPresenter(Answerer presenter, ProgressFactory progress) {
  presenter_ = std::move(presenter);
  presenter_progress_ = std::move(progress);
}

void ToolDialogs::SetAnswerHook(Answerer hook, ProgressFactory progress) {
  hook_ = std::move(hook);
  hook_progress_ = std::move(progress);
}

DialogAnswer ToolDialogs::Ask(const DialogRequest& request) {
  if (request.kind == DialogKind::kMessage || request.kind == DialogKind::kBootCode)
    Trace("[TARVEK] box \"%s\" (%s)", request.text.c_str(), request.caption.c_str());
  if (hook_) return hook_(request);
  if (presenter_) return presenter_(request);
  return {};
}

void ToolDialogs::Message(const std::string& text, const std::string& caption, BoxIcon icon) {
  Ask({DialogKind::kMessage, text, caption, icon, ""});
}

bool ToolDialogs::AskBootCode() {
  return Ask({DialogKind::kBootCode, "Are you selecting boot.bin code???", "Boot code", BoxIcon::kQuestion, ""})
      .accepted;
}

std::optional<std::string> ToolDialogs::ChooseOpenFile(const std::string& filter) {
  DialogAnswer answer = Ask({DialogKind::kOpenFile, "", "Open", BoxIcon::kNone, filter});
  if (!answer.accepted || answer.path.empty()) return std::nullopt;
  return answer.path;
}

std::optional<std::string> ToolDialogs::ChooseSaveFile(const std::string& filter) {
  DialogAnswer answer = Ask({DialogKind::kSaveFile, "", "Save As", BoxIcon::kNone, filter});
  if (!answer.accepted || answer.path.empty()) return std::nullopt;
  return answer.path;
}

std::unique_ptr<ProgressView> ToolDialogs::OpenProgress() {
  std::unique_ptr<ProgressView> view;
  if (hook_progress_)
    view = hook_progress_();
  else if (!hook_ && presenter_progress_)
    view = presenter_progress_();
  if (!view) view = std::make_unique<SilentProgress>();
  return view;
}

}  // namespace tarvek
