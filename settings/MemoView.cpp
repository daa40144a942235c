#include "settings/MemoView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace tarsel {

namespace {

constexpr int MARGIN = 2;  // pixels between the frame and the text

}  // namespace

MemoView::MemoView(const LoadMemo& memo, QWidget* parent)
    : QAbstractScrollArea(parent), memo_(memo), shownLines_(memo.LineCount()) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    QPalette colours = viewport()->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, Qt::yellow);
    viewport()->setPalette(colours);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(20);
    WidenTo(fontMetrics().horizontalAdvance(LineText(memo_.LongestLine())));
    UpdateScrollRanges();
}

void MemoView::MemoAppended() {
    const int firstNew = shownLines_;
    shownLines_ = memo_.LineCount();
    WidenTo(fontMetrics().horizontalAdvance(LineText(memo_.LongestLine())));
    UpdateScrollRanges();
    if (firstNew < shownLines_) verticalScrollBar()->setValue(firstNew);
    viewport()->update();
}

QString MemoView::LineText(int i) const {
    const std::string_view line = memo_.Line(i);
    return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
}

QString MemoView::toPlainText() const {
    QStringList lines;
    lines.reserve(shownLines_);
    for (int i = 0; i < shownLines_; ++i)
        lines << LineText(i);
    return lines.join('\n');
}

int MemoView::LineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

int MemoView::FirstVisibleLine() const {
    return verticalScrollBar()->value();
}

int MemoView::VisibleLines() const {
    return std::max(1, (viewport()->height() - MARGIN) / LineHeight());
}

int MemoView::LineAt(int y) const {
    const int offset = y - MARGIN;
    // Floor division, so that a point just above the text is the line above the first shown.
    const int rows =
        offset >= 0 ? offset / LineHeight() : (offset - LineHeight() + 1) / LineHeight();
    return FirstVisibleLine() + rows;
}

void MemoView::UpdateScrollRanges() {
    QScrollBar* v = verticalScrollBar();
    v->setPageStep(VisibleLines());
    v->setRange(0, std::max(0, shownLines_ - VisibleLines()));
    QScrollBar* h = horizontalScrollBar();
    h->setPageStep(viewport()->width());
    h->setRange(0, std::max(0, textWidth_ + 2 * MARGIN - viewport()->width()));
}

// The width of the text is known only for the lines measured: the longest one and every line
// painted so far. A line wider than the longest one (a proportional font) widens the range.
void MemoView::WidenTo(int textWidth) {
    if (textWidth <= textWidth_) return;
    textWidth_ = textWidth;
    UpdateScrollRanges();
}

int MemoView::SelectionFirst() const {
    return anchor_ < 0 ? 0 : std::min(anchor_, cursor_);
}

int MemoView::SelectionLast() const {
    return anchor_ < 0 ? -1 : std::max(anchor_, cursor_);
}

QString MemoView::SelectedText() const {
    QStringList lines;
    for (int i = SelectionFirst(); i <= SelectionLast(); ++i)
        lines << LineText(i);
    return lines.join('\n');
}

void MemoView::SelectAll() {
    anchor_ = 0;
    cursor_ = shownLines_ - 1;
    viewport()->update();
}

void MemoView::Copy() const {
    if (SelectionFirst() > SelectionLast()) return;
    QApplication::clipboard()->setText(SelectedText());
}

void MemoView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& colours = viewport()->palette();
    painter.fillRect(viewport()->rect(), colours.color(QPalette::Base));
    const QFontMetrics metrics = fontMetrics();
    const int height = LineHeight();
    const int left = MARGIN - horizontalScrollBar()->value();
    int widest = 0;
    int line = FirstVisibleLine();
    for (int y = MARGIN; y < viewport()->height() && line < shownLines_; y += height, ++line) {
        const QString text = LineText(line);
        const bool selected = line >= SelectionFirst() && line <= SelectionLast();
        if (selected) {
            painter.fillRect(0, y, viewport()->width(), height, colours.color(QPalette::Highlight));
            painter.setPen(colours.color(QPalette::HighlightedText));
        } else {
            painter.setPen(colours.color(QPalette::Text));
        }
        painter.drawText(left, y + metrics.ascent(), text);
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    WidenTo(widest);
}

void MemoView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRanges();
}

void MemoView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int line = LineAt(event->position().toPoint().y());
    if (line < 0 || line >= shownLines_) {
        anchor_ = cursor_ = -1;
    } else if ((event->modifiers() & Qt::ShiftModifier) && anchor_ >= 0) {
        cursor_ = line;
    } else {
        anchor_ = cursor_ = line;
    }
    viewport()->update();
}

void MemoView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton) || anchor_ < 0) return;
    const int y = event->position().toPoint().y();
    // Dragging beyond the top or bottom scrolls a line at a time.
    if (y < 0) verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    if (y >= viewport()->height())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    cursor_ = std::clamp(LineAt(y), 0, shownLines_ - 1);
    viewport()->update();
}

void MemoView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        Copy();
    } else if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->key() == Qt::Key_Home) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    } else if (event->key() == Qt::Key_End) {
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void MemoView::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* copy = menu.addAction("Copy", this, [this] { Copy(); });
    copy->setEnabled(SelectionFirst() <= SelectionLast());
    menu.addAction("Select All", this, [this] { SelectAll(); });
    menu.exec(event->globalPos());
}

void MemoView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        textWidth_ = 0;
        WidenTo(fontMetrics().horizontalAdvance(LineText(memo_.LongestLine())));
        UpdateScrollRanges();
    }
}

}  // namespace tarsel
