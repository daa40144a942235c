#include "settings/TParamForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "settings/MemoView.h"

namespace tarsel {

namespace {

constexpr int CLIENT_WIDTH = 548;
constexpr int CLIENT_HEIGHT = 482;

QGroupBox* Group(const char* title, QLayout* layout) {
    auto* group = new QGroupBox(title);
    group->setLayout(layout);
    return group;
}

QLabel* Label(const char* text) {
    return new QLabel(text);
}

}  // namespace

TParamForm::TParamForm(ParamFormState& state, ParamFormActions& actions, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      state_(state),
      actions_(actions) {
    setWindowTitle("WorkSpace");
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    setFont(font);
    setModal(false);

    pages_ = new QTabWidget;
    loadMemo_ = new MemoView(state_.Memo);
    loadMemo_->setObjectName("LoadMemo");
    pages_->addTab(loadMemo_, "Load");
    pages_->addTab(BuildViewPage(), "View");
    pages_->addTab(BuildRayTracingPage(), "Ray tracing");
    pages_->setCurrentIndex(0);

    bitBtn1_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), "OK");
    bitBtn1_->setObjectName("BitBtn1");
    bitBtn1_->setDefault(true);
    bitBtn1_->setFixedSize(75, 25);
    connect(bitBtn1_, &QPushButton::clicked, this, [this] { actions_.BitBtn1Click(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 8);
    layout->setSpacing(8);
    layout->addWidget(pages_, 1);
    layout->addWidget(bitBtn1_, 0, Qt::AlignHCenter);
    setFixedSize(CLIENT_WIDTH, CLIENT_HEIGHT);

    for (const auto& [id, show] : refreshers_)
        Refresh(id);
}

QWidget* TParamForm::BuildViewPage() {
    // "Visualisation"
    auto* visualisation = new QVBoxLayout;
    visualisation->setSpacing(2);
    visualisation->addWidget(AddCheckBox(ParamControl::ZBufferCheckBox,
                                         &ParamFormState::ZBufferCheckBox, "ZBufferCheckBox",
                                         "Z buffered"));
    visualisation->addWidget(AddCheckBox(ParamControl::BallCheckBox, &ParamFormState::BallCheckBox,
                                         "BallCheckBox", "Draw ball"));
    visualisation->addWidget(AddCheckBox(ParamControl::BondCheckBox, &ParamFormState::BondCheckBox,
                                         "BondCheckBox", "Draw bonds"));
    visualisation->addWidget(AddCheckBox(ParamControl::AtomColorCheckBox,
                                         &ParamFormState::AtomColorCheckBox, "AtomColorCheckBox",
                                         "Atom name"));
    visualisation->addWidget(AddCheckBox(ParamControl::WorldAxwsCheckBox,
                                         &ParamFormState::WorldAxwsCheckBox, "WorldAxwsCheckBox",
                                         "Cube"));
    visualisation->addWidget(AddCheckBox(ParamControl::CheckBox28, &ParamFormState::CheckBox28,
                                         "CheckBox28", "Half radius"));
    QCheckBox* rayTracing = AddCheckBox(ParamControl::CheckBox26, &ParamFormState::CheckBox26,
                                        "CheckBox26", "Ray tracing");
    visualisation->addWidget(rayTracing);
    QCheckBox* photo = AddCheckBox(ParamControl::PhotoCheckBox, &ParamFormState::PhotoCheckBox,
                                   "PhotoCheckBox", "Photo");
    visualisation->addWidget(photo);
    // The two drawing modes are alternatives: ticking one clears the other.
    connect(rayTracing, &QCheckBox::clicked, this, [this](bool on) {
        if (on && state_.PhotoCheckBox) {
            state_.PhotoCheckBox = false;
            Refresh(ParamControl::PhotoCheckBox);
        }
    });
    connect(photo, &QCheckBox::clicked, this, [this](bool on) {
        if (on && state_.CheckBox26) {
            state_.CheckBox26 = false;
            Refresh(ParamControl::CheckBox26);
        }
    });
    auto* fontScale = new QHBoxLayout;
    fontScale->addWidget(Label("Font Scale"));
    fontScale->addWidget(
        AddEdit(ParamControl::FontScaleEdit, &ParamFormState::FontScaleEdit, "FontScaleEdit", 70));
    fontScale->addStretch();
    visualisation->addLayout(fontScale);

    // "Mouse wheel"
    auto* wheel = new QGridLayout;
    wheel->setVerticalSpacing(2);
    const struct {
        WheelMode Mode;
        const char* Name;
        const char* Caption;
        const char* LabelName;
    } modes[] = {
        {WheelMode::CentralProjectionPoint, "RadioButtonMouseWheel1", "Central projection point",
         "Label_PP"},
        {WheelMode::ScaleFactor, "RadioButtonMouseWheel2", "Scale factor", "Label_Scale"},
        {WheelMode::None, "RadioButtonMouseWheel3", "None", nullptr},
    };
    std::vector<std::pair<WheelMode, QRadioButton*>> radios;
    for (int row = 0; row < 3; ++row) {
        auto* radio = new QRadioButton(modes[row].Caption);
        radio->setObjectName(modes[row].Name);
        const WheelMode mode = modes[row].Mode;
        connect(radio, &QRadioButton::toggled, this, [this, mode](bool on) {
            if (on) state_.MouseWheel = mode;
        });
        radios.emplace_back(mode, radio);
        wheel->addWidget(radio, row, 0);
        if (modes[row].LabelName != nullptr) {
            // The labels keep their design captions, which are their names.
            QLabel* label = Label(modes[row].LabelName);
            label->setObjectName(modes[row].LabelName);
            wheel->addWidget(label, row, 1);
        }
    }
    wheel->setColumnStretch(1, 1);
    refreshers_[ParamControl::MouseWheel] = [this, radios] {
        // Checking one radio button unchecks the others of the group.
        for (const auto& [mode, radio] : radios)
            if (mode == state_.MouseWheel) radio->setChecked(true);
    };

    // "Video"
    auto* video = new QHBoxLayout;
    video->addWidget(AddCheckBox(ParamControl::SaveAVICheckBox, &ParamFormState::SaveAVICheckBox,
                                 "SaveAVICheckBox", "Save AVI"));
    video->addWidget(AddComboBox(ParamControl::MovieFormatComboBox,
                                 &ParamFormState::MovieFormatComboBox, "MovieFormatComboBox",
                                 MOVIE_FORMATS));
    video->addWidget(Label("Smooth edges"));
    video->addWidget(AddComboBox(ParamControl::SmoothEdgesComboBox,
                                 &ParamFormState::SmoothEdgesComboBox, "SmoothEdgesComboBox",
                                 SMOOTH_EDGES));
    video->addStretch();
    video->addWidget(Label("Frame Time"));
    video->addWidget(
        AddEdit(ParamControl::FrameTimeEdit, &ParamFormState::FrameTimeEdit, "FrameTimeEdit", 60));

    // "Motion Control": playback, then the camera motion programme.
    auto* motion = new QVBoxLayout;
    motion->setSpacing(6);
    auto* timerRow = new QHBoxLayout;
    timerRow->addWidget(Label("Frame Time"));
    timerRow->addWidget(AddEdit(ParamControl::FrameTimerEdit, &ParamFormState::FrameTimerEdit,
                                "FrameTimerEdit", 50));
    timerRow->addWidget(Label("mS"));
    timerRow->addStretch();
    motion->addLayout(timerRow);

    // In-between frames per trajectory frame, taken by the next Play or PlayBack.
    auto* subFrames = new QSpinBox;
    subFrames->setObjectName("SubFramesSpinBox");
    subFrames->setRange(1, MAX_SUB_FRAMES);
    connect(subFrames, &QSpinBox::valueChanged, this,
            [this](int value) { state_.SubFramesSpinBox = value; });
    refreshers_[ParamControl::SubFramesSpinBox] = [this, subFrames] {
        subFrames->setValue(state_.SubFramesSpinBox);
    };
    auto* subFramesRow = new QHBoxLayout;
    subFramesRow->addWidget(Label("Sub-frames"));
    subFramesRow->addWidget(subFrames);
    subFramesRow->addStretch();
    motion->addLayout(subFramesRow);

    auto* buttons = new QGridLayout;
    buttons->setSpacing(4);
    buttons->addWidget(AddButton("Button2", "Play", &ParamFormActions::Button2Click), 0, 0);
    buttons->addWidget(AddButton("Button3", "Stop", &ParamFormActions::Button3Click), 0, 1);
    buttons->addWidget(AddButton("Button4", "+1", &ParamFormActions::Button4Click), 1, 0);
    buttons->addWidget(AddButton("Button5", "-1", &ParamFormActions::Button5Click), 1, 1);
    buttons->addWidget(AddButton("Button6", "PlayBack", &ParamFormActions::Button6Click), 0, 2);
    auto* frameRow = new QHBoxLayout;
    frameRow->setSpacing(2);
    frameRow->addWidget(Label("Frame "));
    frameRow->addWidget(AddEdit(ParamControl::FrameNumberEdit, &ParamFormState::FrameNumberEdit,
                                "FrameNumberEdit", 42));
    buttons->addLayout(frameRow, 2, 0);
    buttons->addWidget(AddButton("Button1", "Go to Frame", &ParamFormActions::Button1Click), 2, 1);
    buttons->addWidget(AddButton("Button7", "Save as File", &ParamFormActions::Button7Click), 2, 2);
    motion->addLayout(buttons);

    auto* trackBar = new QSlider(Qt::Horizontal);
    trackBar->setObjectName("TrackBar1");
    trackBar->setRange(0, 500);
    trackBar->setSingleStep(1);
    trackBar->setTickPosition(QSlider::TicksBelow);
    trackBar->setTickInterval(500);  // only the two end ticks
    // Only the user's moves choose a frame; the progress shown by a frame read does not.
    connect(trackBar, &QSlider::valueChanged, this, [this](int position) {
        if (!refreshing_) actions_.TrackBar1Change(position);
    });
    refreshers_[ParamControl::TrackBar1] = [this, trackBar] {
        trackBar->setValue(state_.TrackBar1);
    };
    motion->addWidget(trackBar);

    QCheckBox* cameraMotion = AddCheckBox(ParamControl::CheckBox1, &ParamFormState::CheckBox1,
                                          "CheckBox1", "Camera Motion");
    connect(cameraMotion, &QCheckBox::toggled, this, [this] {
        if (!refreshing_) actions_.CheckBox1Click();
    });
    auto* programmeRow = new QHBoxLayout;
    programmeRow->addWidget(cameraMotion);
    programmeRow->addStretch();
    QLineEdit* edit25 = AddEdit(ParamControl::Edit25, &ParamFormState::Edit25, "Edit25", 50);
    programmeRow->addWidget(edit25);
    programmeRow->addWidget(Label("per Frame"));
    motion->addLayout(programmeRow);

    auto* periods = new QGridLayout;
    periods->setVerticalSpacing(4);
    periods->addWidget(Label("pS"), 0, 1);
    periods->addWidget(Label("Action"), 0, 2);
    const struct {
        const char* Label;
        ParamControl EditId;
        std::string ParamFormState::*Edit;
        const char* EditName;
        ParamControl ComboId;
        int ParamFormState::*Combo;
        const char* ComboName;
    } rows[] = {
        {"Period 1:", ParamControl::Edit23, &ParamFormState::Edit23, "Edit23",
         ParamControl::ComboBox1, &ParamFormState::ComboBox1, "ComboBox1"},
        {"Period 2:", ParamControl::Edit24, &ParamFormState::Edit24, "Edit24",
         ParamControl::ComboBox2, &ParamFormState::ComboBox2, "ComboBox2"},
        {"Period 3:", ParamControl::Edit26, &ParamFormState::Edit26, "Edit26",
         ParamControl::ComboBox3, &ParamFormState::ComboBox3, "ComboBox3"},
    };
    std::vector<QWidget*> programme{edit25};
    for (int i = 0; i < 3; ++i) {
        const auto& row = rows[i];
        QLineEdit* end = AddEdit(row.EditId, row.Edit, row.EditName, 50);
        QComboBox* action = AddComboBox(row.ComboId, row.Combo, row.ComboName);
        periods->addWidget(Label(row.Label), 1 + i, 0);
        periods->addWidget(end, 1 + i, 1);
        periods->addWidget(action, 1 + i, 2);
        programme.push_back(end);
        programme.push_back(action);
    }
    periods->setColumnStretch(2, 1);
    motion->addLayout(periods);
    // The programme's rows can be edited only while "Camera Motion" is on.
    refreshers_[ParamControl::CheckBox1] = [this, cameraMotion, programme] {
        cameraMotion->setChecked(state_.CheckBox1);
        for (QWidget* w : programme)
            w->setEnabled(state_.CheckBox1);
    };

    auto* left = new QVBoxLayout;
    left->addWidget(Group("Visualisation", visualisation));
    left->addWidget(Group("Mouse wheel", wheel));
    left->addWidget(Group("Video", video));
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(Group("Motion Control", motion));
    right->addStretch();
    auto* page = new QWidget;
    auto* columns = new QHBoxLayout(page);
    columns->setContentsMargins(6, 6, 6, 6);
    columns->addLayout(left, 0);
    columns->addLayout(right, 1);
    return page;
}

QWidget* TParamForm::BuildRayTracingPage() {
    auto* atoms = new QGridLayout;
    const struct {
        const char* Label;
        ParamControl Id;
        std::string ParamFormState::*Field;
        const char* Name;
    } coefficients[] = {
        {"Diffuse:", ParamControl::Edit5, &ParamFormState::Edit5, "Edit5"},
        {"Reflect:", ParamControl::Edit6, &ParamFormState::Edit6, "Edit6"},
        {"Stray:", ParamControl::Edit7, &ParamFormState::Edit7, "Edit7"},
    };
    for (int row = 0; row < 3; ++row) {
        const auto& c = coefficients[row];
        atoms->addWidget(Label(c.Label), row, 0);
        atoms->addWidget(AddEdit(c.Id, c.Field, c.Name, 90), row, 1);
    }
    atoms->setColumnStretch(2, 1);

    auto* world = new QGridLayout;
    world->addWidget(Label("Fone (R,G,B):"), 0, 0);
    world->addWidget(AddEdit(ParamControl::Edit8, &ParamFormState::Edit8, "Edit8", 90), 0, 1);
    world->addWidget(AddEdit(ParamControl::Edit9, &ParamFormState::Edit9, "Edit9", 90), 0, 2);
    world->addWidget(AddEdit(ParamControl::Edit10, &ParamFormState::Edit10, "Edit10", 90), 0, 3);
    world->addWidget(Label("Light (X,Y,Z)"), 1, 0);
    world->addWidget(AddEdit(ParamControl::Edit2, &ParamFormState::Edit2, "Edit2", 90), 1, 1);
    world->addWidget(AddEdit(ParamControl::Edit3, &ParamFormState::Edit3, "Edit3", 90), 1, 2);
    world->addWidget(AddEdit(ParamControl::Edit4, &ParamFormState::Edit4, "Edit4", 90), 1, 3);
    world->addWidget(AddCheckBox(ParamControl::CheckBox27, &ParamFormState::CheckBox27,
                                 "CheckBox27", "Half Atom Radius"),
                     2, 0, 1, 4);
    world->setColumnStretch(4, 1);

    auto* photo = new QGridLayout;
    const struct {
        const char* Label;
        ParamControl Id;
        std::string ParamFormState::*Field;
        const char* Name;
        const char* Hint;
    } photoValues[] = {
        {"Occlusion:", ParamControl::PhotoOcclusionEdit, &ParamFormState::PhotoOcclusionEdit,
         "PhotoOcclusionEdit", "0 none .. 1 full"},
        {"Outline:", ParamControl::PhotoOutlineEdit, &ParamFormState::PhotoOutlineEdit,
         "PhotoOutlineEdit", "width, share of the atom radius"},
        {"Depth cue:", ParamControl::PhotoDepthCueEdit, &ParamFormState::PhotoDepthCueEdit,
         "PhotoDepthCueEdit", "0 none .. 1 far atoms in the background colour"},
    };
    for (int row = 0; row < 3; ++row) {
        const auto& p = photoValues[row];
        photo->addWidget(Label(p.Label), row, 0);
        photo->addWidget(AddEdit(p.Id, p.Field, p.Name, 90), row, 1);
        photo->addWidget(Label(p.Hint), row, 2);
    }
    photo->setColumnStretch(3, 1);

    auto* page = new QWidget;
    auto* groups = new QVBoxLayout(page);
    groups->setContentsMargins(6, 6, 6, 6);
    groups->addWidget(Group("Atoms (Lambert-Phong-Blinn model)", atoms));
    groups->addWidget(Group("3D World", world));
    groups->addWidget(Group("Photo", photo));
    groups->addStretch();
    return page;
}

QCheckBox* TParamForm::AddCheckBox(ParamControl id, bool ParamFormState::*field, const char* name,
                                   const char* caption) {
    auto* box = new QCheckBox(caption);
    box->setObjectName(name);
    // Toggled, not clicked: the box's state also changes through the keyboard and the
    // accessibility interface, and the value must follow it every way.
    connect(box, &QCheckBox::toggled, this, [this, field](bool on) { state_.*field = on; });
    refreshers_[id] = [this, box, field] { box->setChecked(state_.*field); };
    return box;
}

QLineEdit* TParamForm::AddEdit(ParamControl id, std::string ParamFormState::*field,
                               const char* name, int width) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setFixedWidth(width);
    connect(edit, &QLineEdit::textEdited, this,
            [this, field](const QString& text) { state_.*field = text.toStdString(); });
    refreshers_[id] = [this, edit, field] {
        // Setting the same text again would move the cursor of a box being typed in.
        const QString text = QString::fromStdString(state_.*field);
        if (edit->text() != text) edit->setText(text);
    };
    return edit;
}

QComboBox* TParamForm::AddComboBox(ParamControl id, int ParamFormState::*field, const char* name,
                                   std::span<const char* const> items) {
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    for (const char* item : items)
        combo->addItem(item);
    connect(combo, &QComboBox::activated, this,
            [this, field](int index) { state_.*field = index; });
    refreshers_[id] = [this, combo, field] { combo->setCurrentIndex(state_.*field); };
    return combo;
}

QPushButton* TParamForm::AddButton(const char* name, const char* caption,
                                   void (ParamFormActions::*handler)()) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, [this, handler] { (actions_.*handler)(); });
    return button;
}

void TParamForm::Refresh(ParamControl control) {
    const auto it = refreshers_.find(control);
    if (it == refreshers_.end()) return;
    refreshing_ = true;
    it->second();
    refreshing_ = false;
}

void TParamForm::AppendToMemo(std::string_view) {
    loadMemo_->MemoAppended();
}

QPoint TParamForm::OpeningPosition(const QRect& mainFrame, const QSize& frame,
                                   const QRect& screen) {
    const auto onScreen = [&](int x, int y) {
        x = std::max(std::min(x, screen.right() + 1 - frame.width()), screen.left());
        y = std::max(std::min(y, screen.bottom() + 1 - frame.height()), screen.top());
        return QRect(QPoint(x, y), frame);
    };
    const QRect candidates[] = {
        onScreen(mainFrame.right() + 1, mainFrame.top()),
        onScreen(mainFrame.left() - frame.width(), mainFrame.top()),
        onScreen(mainFrame.left(), mainFrame.bottom() + 1),
        onScreen(mainFrame.left(), mainFrame.top() - frame.height()),
    };
    QRect best = candidates[0];
    long long bestCover = -1;
    for (const QRect& c : candidates) {
        const QRect covered = c.intersected(mainFrame);
        const long long cover = covered.isEmpty() ? 0 : 1LL * covered.width() * covered.height();
        if (bestCover < 0 || cover < bestCover) {
            best = c;
            bestCover = cover;
        }
    }
    return best.topLeft();
}

void TParamForm::showEvent(QShowEvent* event) {
    // Only when the program shows the dialog: a window system's restore of a minimised dialog
    // must not wipe what the user was typing.
    if (!event->spontaneous()) {
        const QWidget* main = parentWidget();
        if (!placed_ && main != nullptr && main->screen() != nullptr) {
            // The dialog's frame is not known before it is shown: take the main window's.
            const QSize decoration = main->frameGeometry().size() - main->geometry().size();
            move(OpeningPosition(main->frameGeometry(), size() + decoration,
                                 main->screen()->availableGeometry()));
            placed_ = true;
        }
        actions_.FormShow();
    }
    QDialog::showEvent(event);
}

}  // namespace tarsel
