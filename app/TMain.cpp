#include "app/TMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStatusBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "settings/TParamForm.h"
#include "world/TWorldForm.h"

namespace tarsel {

// The drawing area: shows the visible part of the scene bitmap.
class SceneView : public QWidget {
  public:
    explicit SceneView(TMain& main) : QWidget(&main), main_(main) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        // FormPaint: copies the bitmap again, never re-renders.
        Viewer& v = main_.Operations();
        QPainter painter(this);
        const Workspace& ws = v.Ws();
        const QImage& image = v.Scene().Image();
        const Rgb bg = ws.BackgroundColour;
        const QColor outside(bg.R & 0xFF, bg.G & 0xFF, bg.B & 0xFF);
        // Before a load the whole bitmap sits at the origin.
        const Rect shown = ws.NothingLoaded ? Rect{0, 0, width(), height()} : ws.VisibleRect;
        // A window larger than the bitmap shows the background where the bitmap ends.
        const Rect on = ClipToScene(shown);
        if (on != shown) painter.fillRect(rect(), outside);
        if (on.Width() > 0 && on.Height() > 0) {
            painter.drawImage(QPoint(on.Left - shown.Left, on.Top - shown.Top), image,
                              QRect(on.Left, on.Top, on.Width(), on.Height()));
        }
    }

    void resizeEvent(QResizeEvent*) override { main_.Operations().FormResize(); }

    // Any button picks, with Ctrl it measures; the release stops the key motion timer.
    void mousePressEvent(QMouseEvent* event) override {
        const QPoint p = event->position().toPoint();
        if (event->modifiers() & Qt::ControlModifier) {
            main_.Operations().MeasureClick(p.x(), p.y());
        } else {
            main_.Operations().FormMouseDown(p.x(), p.y());
        }
    }
    void mouseReleaseEvent(QMouseEvent*) override { main_.Operations().FormMouseUp(); }

    // One step per event, whatever its size: a high-resolution wheel or a touchpad sends many
    // small events, and each counts once by its sign. Sideways scrolling is not a step.
    void wheelEvent(QWheelEvent* event) override {
        const int delta = event->angleDelta().y();
        if (delta != 0) main_.Operations().FormMouseWheel(delta);
        event->accept();
    }

  private:
    TMain& main_;
};

TMain::TMain(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle("Tarsel Kivoran");
    move(574, 296);
    resize(574, 327);
    BuildMenus();
    BuildStatusBar();
    timer1_ = new QTimer(this);
    timer1_->setInterval(30);
    timer2_ = new QTimer(this);
    timer2_->setInterval(30);
    viewer_ = std::make_unique<Viewer>(*this);
    connect(timer1_, &QTimer::timeout, this, [this] { viewer_->Timer1Timer(); });
    connect(timer2_, &QTimer::timeout, this, [this] { viewer_->Timer2Timer(); });
    setFocusPolicy(Qt::StrongFocus);
    view_ = new SceneView(*this);
    setCentralWidget(view_);
}

TMain::~TMain() = default;

QWidget* TMain::View() const {
    return view_;
}

void TMain::BuildMenus() {
    QMenu* file = menuBar()->addMenu("File");
    file->addAction("Load WorkSpace", this, [this] { viewer_->Loadworkspace1Click(); });
    // No shortcut: Ctrl+S would take the S key, which moves the camera whatever the modifiers.
    file->addAction("Save Picture...", this, [this] { viewer_->Savepicture1Click(); })
        ->setObjectName("SavePicture1");
    file->addSeparator();
    file->addAction("Exit", this, [this] { Exit1Click(); });
    QMenu* parameters = menuBar()->addMenu("Parameters");
    parameters->addAction("Work Space", this, [this] { viewer_->N4Click(); });
    parameters->addAction("World", this, [this] { viewer_->World1Click(); });
    parameters
        ->addAction("Reset Camera", QKeySequence(Qt::Key_Home), this,
                    [this] { viewer_->Resetcamera1Click(); })
        ->setObjectName("ResetCamera1");
    // F works by its place on the keyboard too (see VirtualKey) when the layout has no F.
    QAction* follow = parameters->addAction("Follow Selection", QKeySequence(Qt::Key_F), this,
                                            [this] { viewer_->Followselection1Click(); });
    follow->setObjectName("FollowSelection1");
    follow->setCheckable(true);
    follow->setAutoRepeat(false);
    QAction* smooth =
        parameters->addAction("Smooth Motion", this, [this] { viewer_->Smoothmotion1Click(); });
    smooth->setObjectName("SmoothMotion1");
    smooth->setCheckable(true);
    // The check mark as it is when the menu opens: a load or a cleared selection ends following.
    connect(parameters, &QMenu::aboutToShow, this, [this, follow, smooth] {
        follow->setChecked(viewer_->Following());
        smooth->setChecked(viewer_->SmoothMotion());
    });
    // The item toggles its own mark; the viewer has the last word (nothing selected: no follow).
    connect(follow, &QAction::triggered, this,
            [this, follow] { follow->setChecked(viewer_->Following()); });
}

void TMain::BuildStatusBar() {
    const int widths[4] = {100, 220, 70, 100};
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new QLabel(this);
        panels_[i]->setFixedWidth(widths[i]);
        panels_[i]->setObjectName(QString("StatusPanel%1").arg(i));
        statusBar()->addWidget(panels_[i]);
    }
    statusBar()->setSizeGripEnabled(true);
}

void TMain::Attach(TParamForm* paramForm, TWorldForm* worldForm) {
    paramForm_ = paramForm;
    worldForm_ = worldForm;
    connect(worldForm_, &TWorldForm::Closed, this, [this] { viewer_->WorldFormClosed(); });
}

ViewSize TMain::DrawingAreaSize() const {
    if (view_ == nullptr) return {0, 0};
    return {view_->width(), view_->height()};
}

void TMain::SetCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void TMain::SetStatusText(int panel, const std::string& text) {
    if (panel < 0 || panel >= 4) return;
    const QString shown = QString::fromStdString(text);
    panels_[panel]->setText(shown);
    // The first panel holds a measurement: it grows to show the whole value, and is back to its
    // width when empty.
    if (panel == 0) {
        const int needed = panels_[0]->fontMetrics().horizontalAdvance(shown) + 8;
        panels_[0]->setFixedWidth(std::max(100, needed));
    }
}

void TMain::RepaintStatusBar() {
    statusBar()->repaint();
}

void TMain::ShowScene() {
    if (view_ != nullptr) view_->update();
}

void TMain::SetBorderFixed(bool fixed) {
    if (fixed) {
        // The grip goes first and the layout follows at once, so that the view has its final
        // size before the recording takes it. The view itself keeps that size too, where a
        // window manager resizes the window anyway.
        statusBar()->setSizeGripEnabled(false);
        if (layout() != nullptr) layout()->activate();
        if (view_ != nullptr) view_->setFixedSize(view_->size());
        setFixedSize(size());
    } else {
        if (view_ != nullptr) {
            view_->setMinimumSize(0, 0);
            view_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        }
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        statusBar()->setSizeGripEnabled(true);
    }
}

void TMain::SetTimer1(bool on, int intervalMs) {
    timer1_->setInterval(intervalMs);
    // A window timer of interval 0 never fires; a QTimer of interval 0 fires continuously.
    if (on && intervalMs > 0) {
        timer1_->start();
    } else {
        timer1_->stop();
    }
}

void TMain::SetTimer2(bool on) {
    if (!on) {
        timer2_->stop();
    } else if (!timer2_->isActive()) {
        timer2_->start();
    }
}

void TMain::SetTimer2Interval(int intervalMs) {
    // The finer clock of "Smooth Motion" paces frames: a coarse timer may shift each by 5 %.
    timer2_->setTimerType(intervalMs < 30 ? Qt::PreciseTimer : Qt::CoarseTimer);
    timer2_->setInterval(intervalMs);
}

void TMain::ShowMessage(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, this);
    box.exec();
}

bool TMain::Confirm(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Cancel, this);
    return box.exec() == QMessageBox::Ok;
}

std::optional<std::string> TMain::ChooseFile(const std::string& filter, const std::string& title,
                                             const std::string& folder) {
    const QString path = QFileDialog::getOpenFileName(this, QString::fromStdString(title),
                                                      QString::fromStdString(folder),
                                                      QString::fromStdString(filter));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

void TMain::ParamFormChanged(ParamControl control) {
    if (paramForm_ != nullptr) paramForm_->Refresh(control);
}

void TMain::LoadMemoAppended(std::string_view lines) {
    if (paramForm_ != nullptr) paramForm_->AppendToMemo(lines);
}

void TMain::ShowParamForm() {
    if (paramForm_ == nullptr) return;
    paramForm_->show();
    paramForm_->raise();
}

void TMain::HideParamForm() {
    if (paramForm_ != nullptr) paramForm_->hide();
}

void TMain::ShowWorldForm() {
    if (worldForm_ == nullptr) return;
    worldForm_->show();
    worldForm_->raise();
}

void TMain::CloseWorldForm() {
    if (worldForm_ != nullptr && worldForm_->isVisible()) worldForm_->close();
}

namespace {

// The motion letters and F by their place on a US keyboard. The scan code of an X key event is its
// keycode, and the xcb and Wayland platforms alike give the evdev code + 8; the letter rows
// have the same keycodes under the older xfree86 keycodes too. The key symbol
// (nativeVirtualKey) would not do: X reports the symbol of the active layout, Cyrillic "tse"
// for the W key under a Russian layout, and Qt's key() follows it.
int LetterAt(quint32 scanCode) {
    switch (scanCode) {
        case 24:
            return 'Q';
        case 25:
            return 'W';
        case 26:
            return 'E';
        case 38:
            return 'A';
        case 39:
            return 'S';
        case 40:
            return 'D';
        case 41:
            return 'F';
        default:
            return 0;
    }
}

}  // namespace

int TMain::VirtualKey(int qtKey, quint32 nativeScanCode) {
    if (const int letter = LetterAt(nativeScanCode)) return letter;
    switch (qtKey) {
        case Qt::Key_PageUp:
            return 33;
        case Qt::Key_PageDown:
            return 34;
        case Qt::Key_Left:
            return 37;
        case Qt::Key_Up:
            return 38;
        case Qt::Key_Right:
            return 39;
        case Qt::Key_Down:
            return 40;
        case Qt::Key_Escape:
            return 27;
        default:
            // Without a scan code (a synthetic event) Qt's letter and digit keys stand for
            // themselves: they carry the same codes as the virtual keys. With one, a letter
            // elsewhere on the keyboard is not a motion key, whatever the layout calls it.
            if (nativeScanCode == 0 && ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) ||
                                        (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))) {
                return qtKey;
            }
            return 0;
    }
}

void TMain::keyPressEvent(QKeyEvent* event) {
    // An auto-repeated press only repeats what the press did; F toggles, so once is enough.
    const int key = VirtualKey(event->key(), event->nativeScanCode());
    if (key == 'F' && event->isAutoRepeat()) return;
    viewer_->FormKeyDown(key);
}

void TMain::keyReleaseEvent(QKeyEvent* event) {
    // Auto-repeat arrives as release/press pairs; only the real release ends a hold.
    if (event->isAutoRepeat()) return;
    viewer_->FormKeyUp(VirtualKey(event->key(), event->nativeScanCode()));
}

void TMain::Exit1Click() {
    close();
}

void TMain::closeEvent(QCloseEvent* event) {
    if (!viewer_->FormClose()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::exit(0);
}

std::optional<std::string> TMain::ChooseSaveFile(const std::string& filter,
                                                 const std::string& title,
                                                 const std::string& suggested) {
    QFileDialog dialog(this, QString::fromStdString(title), QString(),
                       QString::fromStdString(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("png");
    dialog.selectFile(QString::fromStdString(suggested));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}

void TMain::RepaintWorldForm() {
    if (worldForm_ != nullptr) worldForm_->update();
}

}  // namespace tarsel
