#include "world/TWorldForm.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QShowEvent>

#include "settings/TParamForm.h"

namespace tarsel {

namespace {

// The arrow keys as the virtual-key codes WorldView takes; 0 for every other key.
int ArrowKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        default:
            return 0;
    }
}

}  // namespace

TWorldForm::TWorldForm(const Workspace& ws, const ProjectionPlane& plane, QWidget* parent)
    : QWidget(parent, Qt::Window), ws_(ws), plane_(plane) {
    setWindowTitle("WorldForm");
    move(584, 132);
    resize(WORLD_CLIENT_WIDTH, WORLD_CLIENT_HEIGHT);
    QFont font("MS Sans Serif");
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);
    // Every pixel is painted from the buffer.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    view_.Resize(width(), height());
}

void TWorldForm::showEvent(QShowEvent* event) {
    // The designed position is kept where no main window or screen tells a better one.
    const QWidget* main = parentWidget();
    if (!placed_ && !event->spontaneous() && main != nullptr && main->screen() != nullptr) {
        const QSize decoration = main->frameGeometry().size() - main->geometry().size();
        move(TParamForm::OpeningPosition(main->frameGeometry(), size() + decoration,
                                         main->screen()->availableGeometry()));
        placed_ = true;
    }
    QWidget::showEvent(event);
}

void TWorldForm::paintEvent(QPaintEvent*) {
    PaintWorldImage(view_, ws_, plane_, buffer_);
    QPainter painter(this);
    if (!buffer_.isNull()) painter.drawImage(0, 0, buffer_);
}

void TWorldForm::resizeEvent(QResizeEvent* event) {
    view_.Resize(event->size().width(), event->size().height());
    update();
}

void TWorldForm::keyPressEvent(QKeyEvent* event) {
    view_.FormKeyDown(ArrowKey(event->key()));
    // Every key redraws, also one that changes nothing.
    update();
    QWidget::keyPressEvent(event);
}

void TWorldForm::closeEvent(QCloseEvent* event) {
    emit Closed();
    event->accept();
}

}  // namespace tarsel
