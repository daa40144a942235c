#pragma once

#include <QMainWindow>
#include <array>
#include <memory>

#include "app/Viewer.h"
#include "app/ViewerHost.h"

class QLabel;
class QTimer;

namespace tarsel {

class TParamForm;
class TWorldForm;
class SceneView;

// The main window "Tarsel Kivoran": menus, the scene and the status bar. A thin window: it
// hands its events to the Viewer and carries out what the Viewer asks of it.
class TMain : public QMainWindow, public ViewerHost {
    Q_OBJECT
  public:
    explicit TMain(QWidget* parent = nullptr);
    ~TMain() override;

    Viewer& Operations() { return *viewer_; }
    // The other two windows, created after this one.
    void Attach(TParamForm* paramForm, TWorldForm* worldForm);

    QLabel* StatusPanel(int index) const { return panels_[index]; }
    QTimer* Timer1() const { return timer1_; }
    QTimer* Timer2() const { return timer2_; }
    QWidget* View() const;

    // ViewerHost
    ViewSize DrawingAreaSize() const override;
    void SetCaption(const std::string& caption) override;
    void SetStatusText(int panel, const std::string& text) override;
    void RepaintStatusBar() override;
    void ShowScene() override;
    void SetBorderFixed(bool fixed) override;
    void SetTimer1(bool on, int intervalMs) override;
    void SetTimer2(bool on) override;
    void SetTimer2Interval(int intervalMs) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool Confirm(const std::string& text, const std::string& caption) override;
    std::optional<std::string> ChooseFile(const std::string& filter, const std::string& title,
                                          const std::string& folder) override;
    void ParamFormChanged(ParamControl control) override;
    void LoadMemoAppended(std::string_view lines) override;
    void ShowParamForm() override;
    void HideParamForm() override;
    void ShowWorldForm() override;
    void CloseWorldForm() override;
    void RepaintWorldForm() override;
    std::optional<std::string> ChooseSaveFile(const std::string& filter, const std::string& title,
                                              const std::string& suggested) override;

    // File > Exit: closes the window, which asks first.
    void Exit1Click();

    // A key event as the virtual-key code the viewer's key handlers take; 0 for other keys.
    // The letters go by the key's place on the keyboard (its native scan code) when the event
    // has one, by Qt's key code otherwise.
    static int VirtualKey(int qtKey, quint32 nativeScanCode = 0);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void BuildStatusBar();

    std::array<QLabel*, 4> panels_{};
    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    SceneView* view_ = nullptr;
    TParamForm* paramForm_ = nullptr;
    TWorldForm* worldForm_ = nullptr;
    std::unique_ptr<Viewer> viewer_;
};

}  // namespace tarsel
