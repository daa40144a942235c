#include "app/HeadlessHost.h"

namespace tarsel {

void HeadlessHost::SetStatusText(int panel, const std::string& text) {
    if (panel >= 0 && panel < static_cast<int>(StatusPanels.size())) StatusPanels[panel] = text;
}

void HeadlessHost::SetTimer1(bool on, int intervalMs) {
    Timer1On = on;
    Timer1Interval = intervalMs;
}

void HeadlessHost::ShowMessage(const std::string& text, const std::string& caption) {
    Messages.push_back({text, caption});
    if (OnMessage) OnMessage(Messages.back());
}

bool HeadlessHost::Confirm(const std::string& text, const std::string& caption) {
    Messages.push_back({text, caption});
    return ConfirmAnswer;
}

std::optional<std::string> HeadlessHost::ChooseFile(const std::string&, const std::string&,
                                                    const std::string&) {
    return FileToChoose;
}

std::optional<std::string> HeadlessHost::ChooseSaveFile(const std::string&, const std::string&,
                                                        const std::string& suggested) {
    SuggestedSaveFile = suggested;
    return SaveFileToChoose;
}

}  // namespace tarsel
