#pragma once

#include <QDialog>
#include <functional>
#include <map>
#include <span>
#include <string_view>

#include "settings/MemoView.h"
#include "settings/ParamFormState.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace tarsel {

// What the dialog's controls ask of the viewer. The playback buttons, the frame box and the
// track bar have no handlers yet: they come with the playback controls.
class ParamFormActions {
  public:
    virtual ~ParamFormActions() = default;
    virtual void BitBtn1Click() = 0;    // OK
    virtual void CheckBox1Click() = 0;  // "Camera Motion" was clicked
    // The dialog is being shown: the boxes that show workspace values are brought up to date.
    virtual void FormShow() = 0;
    // "Motion Control": the playback buttons and the slider moved by the user.
    virtual void Button2Click() = 0;  // "Play"
    virtual void Button3Click() = 0;  // "Stop"
    virtual void Button4Click() = 0;  // "+1"
    virtual void Button5Click() = 0;  // "-1"
    virtual void Button6Click() = 0;  // "PlayBack"
    virtual void Button1Click() = 0;  // "Go to Frame"
    virtual void Button7Click() = 0;  // "Save as File"
    virtual void TrackBar1Change(int position) = 0;
};

// The parameters dialog "WorkSpace": a thin window over ParamFormState. The user's edits go
// straight into the state; the viewer names the controls whose values it changed and the
// dialog shows them.
class TParamForm : public QDialog {
    Q_OBJECT
  public:
    TParamForm(ParamFormState& state, ParamFormActions& actions, QWidget* parent = nullptr);

    void Refresh(ParamControl control);
    // The memo grew by a load's log.
    void AppendToMemo(std::string_view lines);

    QTabWidget* Pages() const { return pages_; }
    MemoView* LoadMemoView() const { return loadMemo_; }
    QPushButton* BitBtn1() const { return bitBtn1_; }

    // Where the dialog's frame of the given size opens: beside the main window's frame where
    // the screen has room (right, left, below, above, in this order), so that it hides none of
    // the scene; without room, on the screen where it covers the least of the main window.
    static QPoint OpeningPosition(const QRect& mainFrame, const QSize& frame, const QRect& screen);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QWidget* BuildViewPage();
    QWidget* BuildRayTracingPage();

    QCheckBox* AddCheckBox(ParamControl id, bool ParamFormState::*field, const char* name,
                           const char* caption);
    QLineEdit* AddEdit(ParamControl id, std::string ParamFormState::*field, const char* name,
                       int width);
    QComboBox* AddComboBox(ParamControl id, int ParamFormState::*field, const char* name,
                           std::span<const char* const> items = PERIOD_ACTIONS);
    QPushButton* AddButton(const char* name, const char* caption,
                           void (ParamFormActions::*handler)());

    ParamFormState& state_;
    ParamFormActions& actions_;
    QTabWidget* pages_ = nullptr;
    MemoView* loadMemo_ = nullptr;
    QPushButton* bitBtn1_ = nullptr;
    // How each control shows its value from the state.
    std::map<ParamControl, std::function<void()>> refreshers_;
    bool refreshing_ = false;  // a value is being shown, not edited by the user
    bool placed_ = false;      // opened once: later it opens where the user left it
};

}  // namespace tarsel
