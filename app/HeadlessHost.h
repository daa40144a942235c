#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "app/ViewerHost.h"

namespace tarsel {

// A host without windows, for the command-line tool and the tests: it keeps what the windows
// would show and answers the dialogs from fields set beforehand.
class HeadlessHost : public ViewerHost {
  public:
    struct Message {
        std::string Text;
        std::string Caption;
    };

    explicit HeadlessHost(ViewSize size = {800, 600}) : size_(size) {}

    void SetDrawingAreaSize(ViewSize size) { size_ = size; }

    ViewSize DrawingAreaSize() const override { return size_; }
    void SetCaption(const std::string& caption) override { Caption = caption; }
    void SetStatusText(int panel, const std::string& text) override;
    void RepaintStatusBar() override { ++StatusRepaints; }
    void ShowScene() override { ++ScenesShown; }
    void SetBorderFixed(bool fixed) override { BorderFixed = fixed; }
    void SetTimer1(bool on, int intervalMs) override;
    void SetTimer2(bool on) override { Timer2On = on; }
    void SetTimer2Interval(int intervalMs) override { Timer2Interval = intervalMs; }
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool Confirm(const std::string& text, const std::string& caption) override;
    std::optional<std::string> ChooseFile(const std::string& filter, const std::string& title,
                                          const std::string& folder) override;
    void ParamFormChanged(ParamControl control) override { ChangedControls.push_back(control); }
    void LoadMemoAppended(std::string_view) override { ++MemoAppends; }
    void ShowParamForm() override { ParamFormVisible = true; }
    void HideParamForm() override { ParamFormVisible = false; }
    void ShowWorldForm() override { WorldFormVisible = true; }
    void CloseWorldForm() override { WorldFormVisible = false; }
    void RepaintWorldForm() override { ++WorldRepaints; }
    std::optional<std::string> ChooseSaveFile(const std::string& filter, const std::string& title,
                                              const std::string& suggested) override;

    // What the windows would show.
    std::string Caption = "Tarsel Kivoran";
    std::array<std::string, 4> StatusPanels;
    int StatusRepaints = 0;
    int ScenesShown = 0;
    bool BorderFixed = false;
    bool Timer1On = false;
    int Timer1Interval = 30;
    bool Timer2On = false;
    int Timer2Interval = 30;
    std::vector<Message> Messages;
    std::vector<ParamControl> ChangedControls;
    int MemoAppends = 0;
    bool ParamFormVisible = false;
    bool WorldFormVisible = false;
    int WorldRepaints = 0;

    // Answers for the modal dialogs.
    bool ConfirmAnswer = true;
    std::optional<std::string> FileToChoose;
    std::optional<std::string> SaveFileToChoose;
    std::string SuggestedSaveFile;  // what the last save-file dialog offered
    // Called with each message as it is shown (the tool prints them).
    std::function<void(const Message&)> OnMessage;

  private:
    ViewSize size_;
};

}  // namespace tarsel
