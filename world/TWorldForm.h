#pragma once

#include <QWidget>

#include "workspace/Workspace.h"

namespace tarsel {

// The world window "WorldForm": the scene's geometry seen from outside. It only reads the
// workspace. Created hidden; "Parameters" > "World" shows it.
class TWorldForm : public QWidget {
    Q_OBJECT
  public:
    explicit TWorldForm(const Workspace& ws, QWidget* parent = nullptr);

  signals:
    void Closed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    const Workspace& ws_;
};

}  // namespace tarsel
