#pragma once

#include <QImage>
#include <QWidget>

#include "render/Projection.h"
#include "workspace/Workspace.h"
#include "world/WorldView.h"

namespace tarsel {

// The world window "WorldForm": the scene's geometry seen from outside. It only reads the
// workspace and the projection plane of the main view's last render pass. Created hidden;
// "Parameters" > "World" shows it.
class TWorldForm : public QWidget {
    Q_OBJECT
  public:
    TWorldForm(const Workspace& ws, const ProjectionPlane& plane, QWidget* parent = nullptr);

    WorldView& View() { return view_; }

  signals:
    void Closed();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The first time it is shown it moves beside the main window, as the dialog does.
    void showEvent(QShowEvent* event) override;

  private:
    const Workspace& ws_;
    const ProjectionPlane& plane_;
    WorldView view_;
    // The picture is drawn here whole and then shown, so a paint never shows it half drawn.
    QImage buffer_;
    bool placed_ = false;
};

}  // namespace tarsel
