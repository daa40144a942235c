#pragma once

#include <QDialog>

#include "settings/ParamFormState.h"

class QPlainTextEdit;
class QTabWidget;
class QPushButton;

namespace tarsel {

// What the dialog's buttons ask of the viewer.
class ParamFormActions {
  public:
    virtual ~ParamFormActions() = default;
    virtual void BitBtn1Click() = 0;  // OK
};

// The parameters dialog "WorkSpace": a thin window over ParamFormState. Edits go straight into
// the state; the viewer names the controls whose values it changed and the dialog shows them.
class TParamForm : public QDialog {
    Q_OBJECT
  public:
    TParamForm(ParamFormState& state, ParamFormActions& actions, QWidget* parent = nullptr);

    void Refresh(ParamControl control);
    void AppendToMemo(std::string_view lines);

    QTabWidget* Pages() const { return pages_; }
    QPlainTextEdit* LoadMemoView() const { return loadMemo_; }
    QPushButton* BitBtn1() const { return bitBtn1_; }

  private:
    ParamFormState& state_;
    ParamFormActions& actions_;
    QTabWidget* pages_ = nullptr;
    QPlainTextEdit* loadMemo_ = nullptr;
    QPushButton* bitBtn1_ = nullptr;
};

}  // namespace tarsel
