#include "world/TWorldForm.h"

#include <QCloseEvent>
#include <QPainter>

namespace tarsel {

TWorldForm::TWorldForm(const Workspace& ws, QWidget* parent)
    : QWidget(parent, Qt::Window), ws_(ws) {
    setWindowTitle("WorldForm");
    move(584, 132);
    resize(353, 263);
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    setFont(font);
}

void TWorldForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
}

void TWorldForm::closeEvent(QCloseEvent* event) {
    emit Closed();
    event->accept();
}

}  // namespace tarsel
