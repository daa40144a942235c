#pragma once

#include <QAbstractScrollArea>

#include "settings/ParamFormState.h"

namespace tarsel {

// The "Load" page's memo: a read-only view of LoadMemo, yellow on black with a vertical scroll
// bar. It paints only the lines in sight straight from the memo's text, so a log of hundreds of
// thousands of lines costs nothing to append or to scroll. Whole lines can be selected with the
// mouse (Shift extends) or Ctrl+A and copied with Ctrl+C or the context menu.
class MemoView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit MemoView(const LoadMemo& memo, QWidget* parent = nullptr);

    // The memo grew: the new lines come into view, the first of them at the top.
    void MemoAppended();

    // The memo's text as this view shows it, line by line.
    QString toPlainText() const;
    int FirstVisibleLine() const;
    int LineHeight() const;
    // Selected lines, first and last inclusive; none when first > last.
    int SelectionFirst() const;
    int SelectionLast() const;
    QString SelectedText() const;
    void SelectAll();
    void Copy() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QString LineText(int i) const;
    int LineAt(int y) const;
    int VisibleLines() const;
    void UpdateScrollRanges();
    void WidenTo(int textWidth);

    const LoadMemo& memo_;
    int shownLines_ = 0;  // the memo's lines when this view last looked
    int anchor_ = -1;     // selection: lines between anchor_ and cursor_
    int cursor_ = -1;
    int textWidth_ = 0;  // widest line measured so far, in pixels
};

}  // namespace tarsel
