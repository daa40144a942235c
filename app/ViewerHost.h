#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "settings/ParamFormState.h"

namespace tarsel {

struct ViewSize {
    int Width = 0;
    int Height = 0;
};

// Everything the viewer needs from its windows. The Qt windows implement it for the desktop;
// the headless tool and the tests implement it without a display.
class ViewerHost {
  public:
    virtual ~ViewerHost() = default;

    // Main window.
    // The drawing area: the client area less the status bar.
    virtual ViewSize DrawingAreaSize() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetStatusText(int panel, const std::string& text) = 0;
    virtual void RepaintStatusBar() = 0;
    // The scene bitmap changed: show its visible part.
    virtual void ShowScene() = 0;
    // Fixed single border while "Save AVI" is applied, the normal resizable one otherwise.
    virtual void SetBorderFixed(bool fixed) = 0;
    virtual void SetTimer1(bool on, int intervalMs) = 0;
    virtual void SetTimer2(bool on) = 0;
    virtual void SetTimer2Interval(int intervalMs) = 0;

    // Modal boxes. The message box has a single OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    virtual bool Confirm(const std::string& text, const std::string& caption) = 0;
    // The open-file dialog; nothing when the user cancels.
    virtual std::optional<std::string> ChooseFile(const std::string& filter,
                                                  const std::string& title,
                                                  const std::string& folder) = 0;

    // Parameters dialog.
    virtual void ParamFormChanged(ParamControl control) = 0;
    virtual void LoadMemoAppended(std::string_view lines) = 0;
    virtual void ShowParamForm() = 0;
    virtual void HideParamForm() = 0;

    // World window.
    virtual void ShowWorldForm() = 0;
    virtual void CloseWorldForm() = 0;
    virtual void RepaintWorldForm() = 0;

    // The save-file dialog, opened on the suggested path; nothing when the user cancels.
    virtual std::optional<std::string> ChooseSaveFile(const std::string& filter,
                                                      const std::string& title,
                                                      const std::string& suggested) = 0;
};

}  // namespace tarsel
