#include "settings/TParamForm.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

#include "app/TMain.h"
#include "support/AppWindows.h"
#include "support/TestFiles.h"
#include "support/WorkspaceText.h"
#include "world/TWorldForm.h"

// Failures show texts, not their bytes.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace tarsel {
namespace {

// The three windows as the application creates them.
struct Windows : test::AppWindows {
    template <typename T = QWidget>
    T* Get(const char* name) {
        T* w = param.findChild<T*>(name);
        if (w == nullptr) ADD_FAILURE() << "no control " << name;
        return w;
    }
    QLineEdit* Edit(const char* name) { return Get<QLineEdit>(name); }
    void Click(const char* name) { Get<QAbstractButton>(name)->click(); }
};

QString GroupOf(QWidget* w) {
    for (QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget())
        if (auto* g = qobject_cast<QGroupBox*>(p)) return g->title();
    return {};
}

void TypeOver(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

TEST(Dialog, LaidOutAsAFixedNonModalWindowWithThreePagesAndOk) {
    Windows w;
    EXPECT_EQ(w.param.windowTitle(), "WorkSpace");
    EXPECT_FALSE(w.param.isVisible());
    w.Ops().N4Click();
    EXPECT_TRUE(w.param.isVisible());
    EXPECT_FALSE(w.param.isModal());
    EXPECT_EQ(w.param.size(), QSize(548, 482));
    EXPECT_EQ(w.param.minimumSize(), w.param.maximumSize());
    QTabWidget* pages = w.param.Pages();
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), "Load");
    EXPECT_EQ(pages->tabText(1), "View");
    EXPECT_EQ(pages->tabText(2), "Ray tracing");
    EXPECT_EQ(pages->currentIndex(), 0);
    EXPECT_EQ(pages->width(), 548);

    QPushButton* ok = w.param.BitBtn1();
    EXPECT_EQ(ok->objectName(), "BitBtn1");
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_FALSE(ok->icon().isNull());
    EXPECT_TRUE(ok->isDefault());
    EXPECT_NEAR(ok->geometry().center().x(), 548 / 2, 1);
    EXPECT_GE(ok->geometry().top(), pages->geometry().bottom());
    EXPECT_LE(ok->geometry().bottom(), 482);
    EXPECT_EQ(w.param.LoadMemoView()->objectName(), "LoadMemo");
}

// Each control has its name, caption, group and design default; it shows its own field of the
// state and the user's edits go into that field.
TEST(Dialog, ControlsAreLaidOutAndBoundToTheirOwnFields) {
    Windows w;
    ParamFormState& form = w.Ops().Form();
    w.param.show();
    const std::pair<const char*, QStringList> groups[] = {
        {"Visualisation",
         {"ZBufferCheckBox", "BallCheckBox", "BondCheckBox", "AtomColorCheckBox",
          "WorldAxwsCheckBox", "CheckBox28", "CheckBox26", "FontScaleEdit"}},
        {"Mouse wheel",
         {"RadioButtonMouseWheel1", "RadioButtonMouseWheel2", "RadioButtonMouseWheel3", "Label_PP",
          "Label_Scale"}},
        {"Video", {"SaveAVICheckBox", "MovieFormatComboBox", "FrameTimeEdit"}},
        {"Motion Control",
         {"FrameTimerEdit", "SubFramesSpinBox", "Button2", "Button3", "Button4", "Button5",
          "Button6", "FrameNumberEdit", "Button1", "Button7", "TrackBar1", "CheckBox1", "Edit25",
          "Edit23", "ComboBox1", "Edit24", "ComboBox2", "Edit26", "ComboBox3"}},
        {"Atoms (Lambert-Phong-Blinn model)", {"Edit5", "Edit6", "Edit7"}},
        {"3D World", {"Edit8", "Edit9", "Edit10", "Edit2", "Edit3", "Edit4", "CheckBox27"}},
    };
    for (const auto& [group, names] : groups)
        for (const QString& name : names)
            EXPECT_EQ(GroupOf(w.Get(name.toUtf8())), group) << name.toStdString();

    const std::pair<const char*, const char*> captions[] = {
        {"ZBufferCheckBox", "Z buffered"},
        {"BallCheckBox", "Draw ball"},
        {"BondCheckBox", "Draw bonds"},
        {"AtomColorCheckBox", "Atom name"},
        {"WorldAxwsCheckBox", "Cube"},
        {"CheckBox28", "Half radius"},
        {"CheckBox26", "Ray tracing"},
        {"RadioButtonMouseWheel1", "Central projection point"},
        {"RadioButtonMouseWheel2", "Scale factor"},
        {"RadioButtonMouseWheel3", "None"},
        {"SaveAVICheckBox", "Save AVI"},
        {"CheckBox1", "Camera Motion"},
        {"CheckBox27", "Half Atom Radius"},
        {"Button2", "Play"},
        {"Button3", "Stop"},
        {"Button4", "+1"},
        {"Button5", "-1"},
        {"Button6", "PlayBack"},
        {"Button1", "Go to Frame"},
        {"Button7", "Save as File"}};
    QStringList checked;
    for (const auto& [name, caption] : captions) {
        EXPECT_EQ(w.Get<QAbstractButton>(name)->text(), caption);
        if (w.Get<QAbstractButton>(name)->isChecked()) checked << name;
    }
    EXPECT_EQ(checked,
              (QStringList{"ZBufferCheckBox", "BallCheckBox", "BondCheckBox", "AtomColorCheckBox",
                           "WorldAxwsCheckBox", "RadioButtonMouseWheel1", "CheckBox27"}));
    EXPECT_EQ(w.Get<QLabel>("Label_PP")->text(), "Label_PP");
    EXPECT_EQ(w.Get<QLabel>("Label_Scale")->text(), "Label_Scale");
    auto* track = w.Get<QSlider>("TrackBar1");
    EXPECT_EQ(track->orientation(), Qt::Horizontal);
    EXPECT_EQ(std::make_pair(track->minimum(), track->maximum()), std::make_pair(0, 500));
    EXPECT_EQ(track->value(), 0);
    EXPECT_EQ(track->tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(track->tickInterval(), 500);  // ticks at the ends only
    const QStringList actions = {"None",         "Forward",   "Backward",  "Rotate Left",
                                 "Rotate Right", "Bank Left", "Bank Right"};
    for (const char* name : {"ComboBox1", "ComboBox2", "ComboBox3"}) {
        auto* combo = w.Get<QComboBox>(name);
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items, actions) << name;
        EXPECT_EQ(combo->currentIndex(), 0) << name;
        EXPECT_FALSE(combo->isEditable()) << name;
    }
    {
        // The movie's format: AVI unless chosen.
        auto* combo = w.Get<QComboBox>("MovieFormatComboBox");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items, (QStringList{"AVI", "MP4", "WebM", "GIF", "PNG frames"}));
        EXPECT_EQ(combo->currentIndex(), 0);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(form.MovieFormatComboBox, 1);
        form.MovieFormatComboBox = 3;
        w.param.Refresh(ParamControl::MovieFormatComboBox);
        EXPECT_EQ(combo->currentIndex(), 3);
    }

    const struct {
        ParamControl Id;
        std::string ParamFormState::*Field;
        const char* Name;
        const char* Default;
    } edits[] = {
        {ParamControl::FontScaleEdit, &ParamFormState::FontScaleEdit, "FontScaleEdit", "0.1"},
        {ParamControl::FrameTimeEdit, &ParamFormState::FrameTimeEdit, "FrameTimeEdit", "1.0"},
        {ParamControl::FrameTimerEdit, &ParamFormState::FrameTimerEdit, "FrameTimerEdit", "30"},
        {ParamControl::FrameNumberEdit, &ParamFormState::FrameNumberEdit, "FrameNumberEdit", "1"},
        {ParamControl::Edit25, &ParamFormState::Edit25, "Edit25", "1.0"},
        {ParamControl::Edit23, &ParamFormState::Edit23, "Edit23", "2"},
        {ParamControl::Edit24, &ParamFormState::Edit24, "Edit24", "2"},
        {ParamControl::Edit26, &ParamFormState::Edit26, "Edit26", "0.5"},
        {ParamControl::Edit5, &ParamFormState::Edit5, "Edit5", "0.600000"},
        {ParamControl::Edit6, &ParamFormState::Edit6, "Edit6", "0.700000"},
        {ParamControl::Edit7, &ParamFormState::Edit7, "Edit7", "0.300000"},
        {ParamControl::Edit8, &ParamFormState::Edit8, "Edit8", "180"},
        {ParamControl::Edit9, &ParamFormState::Edit9, "Edit9", "180"},
        {ParamControl::Edit10, &ParamFormState::Edit10, "Edit10", "180"},
        {ParamControl::Edit2, &ParamFormState::Edit2, "Edit2", "0.000000"},
        {ParamControl::Edit3, &ParamFormState::Edit3, "Edit3", "0.000000"},
        {ParamControl::Edit4, &ParamFormState::Edit4, "Edit4", "0.000000"},
    };
    form.CheckBox1 = true;  // lets the programme's rows be typed into
    w.param.Refresh(ParamControl::CheckBox1);
    for (const auto& e : edits) {
        QLineEdit* edit = w.Edit(e.Name);
        EXPECT_EQ(edit->text(), e.Default) << e.Name;
        form.*e.Field = std::string("shown ") + e.Name;
        w.param.Refresh(e.Id);
        EXPECT_EQ(edit->text().toStdString(), form.*e.Field);
        TypeOver(edit, QString("typed ") + e.Name);
        EXPECT_EQ(form.*e.Field, std::string("typed ") + e.Name);
    }
    const struct {
        ParamControl Id;
        bool ParamFormState::*Field;
        const char* Name;
    } boxes[] = {
        {ParamControl::ZBufferCheckBox, &ParamFormState::ZBufferCheckBox, "ZBufferCheckBox"},
        {ParamControl::BallCheckBox, &ParamFormState::BallCheckBox, "BallCheckBox"},
        {ParamControl::BondCheckBox, &ParamFormState::BondCheckBox, "BondCheckBox"},
        {ParamControl::AtomColorCheckBox, &ParamFormState::AtomColorCheckBox, "AtomColorCheckBox"},
        {ParamControl::WorldAxwsCheckBox, &ParamFormState::WorldAxwsCheckBox, "WorldAxwsCheckBox"},
        {ParamControl::CheckBox28, &ParamFormState::CheckBox28, "CheckBox28"},
        {ParamControl::CheckBox26, &ParamFormState::CheckBox26, "CheckBox26"},
        {ParamControl::SaveAVICheckBox, &ParamFormState::SaveAVICheckBox, "SaveAVICheckBox"},
        {ParamControl::CheckBox27, &ParamFormState::CheckBox27, "CheckBox27"}};
    for (const auto& b : boxes) {
        auto* box = w.Get<QCheckBox>(b.Name);
        form.*b.Field = !(form.*b.Field);
        w.param.Refresh(b.Id);
        EXPECT_EQ(box->isChecked(), form.*b.Field) << b.Name;
        box->click();
        EXPECT_EQ(box->isChecked(), form.*b.Field) << b.Name;
    }
    const struct {
        ParamControl Id;
        int ParamFormState::*Field;
        const char* Name;
    } combos[] = {{ParamControl::ComboBox1, &ParamFormState::ComboBox1, "ComboBox1"},
                  {ParamControl::ComboBox2, &ParamFormState::ComboBox2, "ComboBox2"},
                  {ParamControl::ComboBox3, &ParamFormState::ComboBox3, "ComboBox3"}};
    for (const auto& c : combos) {
        auto* combo = w.Get<QComboBox>(c.Name);
        form.*c.Field = 4;
        w.param.Refresh(c.Id);
        EXPECT_EQ(combo->currentIndex(), 4) << c.Name;
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(form.*c.Field, 5) << c.Name;
    }
    w.Click("RadioButtonMouseWheel2");
    EXPECT_EQ(form.MouseWheel, WheelMode::ScaleFactor);
    form.MouseWheel = WheelMode::None;
    w.param.Refresh(ParamControl::MouseWheel);
    EXPECT_TRUE(w.Get<QRadioButton>("RadioButtonMouseWheel3")->isChecked());
    track->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(form.TrackBar1, track->value());
    form.TrackBar1 = 250;
    w.param.Refresh(ParamControl::TrackBar1);
    EXPECT_EQ(track->value(), 250);
}

// Tab walks the "View" page in the order of its groups and rows.
TEST(Dialog, ViewPageTabOrder) {
    Windows w;
    const QStringList expected = {"ZBufferCheckBox",
                                  "BallCheckBox",
                                  "BondCheckBox",
                                  "AtomColorCheckBox",
                                  "WorldAxwsCheckBox",
                                  "CheckBox28",
                                  "CheckBox26",
                                  "FontScaleEdit",
                                  "RadioButtonMouseWheel1",
                                  "RadioButtonMouseWheel2",
                                  "RadioButtonMouseWheel3",
                                  "SaveAVICheckBox",
                                  "FrameTimeEdit",
                                  "FrameTimerEdit",
                                  "Button2",
                                  "Button3",
                                  "Button4",
                                  "Button5",
                                  "Button6",
                                  "FrameNumberEdit",
                                  "Button1",
                                  "Button7",
                                  "TrackBar1",
                                  "CheckBox1",
                                  "Edit25",
                                  "Edit23",
                                  "ComboBox1",
                                  "Edit24",
                                  "ComboBox2",
                                  "Edit26",
                                  "ComboBox3"};
    QStringList order;
    QWidget* start = w.Get("ZBufferCheckBox");
    QWidget* next = start;
    do {
        if (next->focusPolicy() & Qt::TabFocus && expected.contains(next->objectName()))
            order << next->objectName();
        next = next->nextInFocusChain();
    } while (next != start && order.size() < expected.size());
    EXPECT_EQ(order, expected);
}

// The dialog opens beside the main window where the screen has room, so the scene stays in view.
TEST(Dialog, OpensBesideTheMainWindow) {
    const QRect screen(0, 0, 1280, 1024);
    const QSize dialog(548, 482);
    struct Row {
        QRect main;
        QPoint at;
    };
    const Row rows[] = {
        {{100, 100, 574, 327}, {674, 100}},  // right
        {{574, 296, 574, 327}, {26, 296}},   // no room on the right: left
        {{0, 0, 1280, 400}, {0, 400}},       // below
        {{0, 0, 1280, 1000}, {0, 542}},      // no room anywhere: on screen, covering the least
    };
    for (const Row& row : rows)
        EXPECT_EQ(TParamForm::OpeningPosition(row.main, dialog, screen), row.at) << row.at.x();
}

// However a box's state changes - a click, the keyboard, or an assistive tool through the
// accessibility interface, which toggles without clicking - the dialog's value follows it.
TEST(Dialog, CheckBoxValuesFollowEveryChangeOfState) {
    Windows w;
    w.param.show();
    const std::pair<const char*, bool ParamFormState::*> boxes[] = {
        {"ZBufferCheckBox", &ParamFormState::ZBufferCheckBox},
        {"BallCheckBox", &ParamFormState::BallCheckBox},
        {"BondCheckBox", &ParamFormState::BondCheckBox},
        {"AtomColorCheckBox", &ParamFormState::AtomColorCheckBox},
        {"WorldAxwsCheckBox", &ParamFormState::WorldAxwsCheckBox},
        {"CheckBox28", &ParamFormState::CheckBox28},
        {"CheckBox26", &ParamFormState::CheckBox26},
        {"SaveAVICheckBox", &ParamFormState::SaveAVICheckBox},
        {"CheckBox1", &ParamFormState::CheckBox1},
        {"CheckBox27", &ParamFormState::CheckBox27},
    };
    for (const auto& [name, field] : boxes) {
        auto* box = w.Get<QCheckBox>(name);
        QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(box);
        ASSERT_NE(a11y, nullptr);
        ASSERT_NE(a11y->actionInterface(), nullptr);
        for (int step = 0; step < 2; ++step) {
            const bool before = w.Ops().Form().*field;
            a11y->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            EXPECT_EQ(box->isChecked(), !before) << name;
            EXPECT_EQ(w.Ops().Form().*field, !before) << name;
        }
        box->toggle();
        EXPECT_EQ(w.Ops().Form().*field, box->isChecked()) << name;
        box->toggle();
    }
    // "Camera Motion" acts at once, toggled by whatever means.
    auto* motion = w.Get<QCheckBox>("CheckBox1");
    QAccessible::queryAccessibleInterface(motion)->actionInterface()->doAction(
        QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(w.Ws().CameraProgrammeOn);
    // Ticked "Save AVI" through the interface: Play records.
    test::TempDir dir;
    test::WriteFile(dir.File("run.tsw"), test::Text(test::WorkspaceLines{}));
    test::WriteFile(dir.File("run.xyz"), std::string(64 * 3, '\0'));
    ASSERT_TRUE(w.Ops().LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    QAccessible::queryAccessibleInterface(w.Get<QCheckBox>("SaveAVICheckBox"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::toggleAction());
    w.Click("Button2");
    EXPECT_NE(w.Ops().ActiveRecorder(), nullptr);
    w.Ops().StopRecording();
}

TEST(Dialog, OkWithSaveAviFixesTheMainWindowBorder) {
    Windows w;
    for (bool fixed : {true, false}) {
        w.Ops().N4Click();
        w.Click("SaveAVICheckBox");
        QTest::mouseClick(w.param.BitBtn1(), Qt::LeftButton);
        EXPECT_FALSE(w.param.isVisible());
        EXPECT_EQ(w.Ws().RecordAvi, fixed);
        EXPECT_EQ(w.main.minimumSize() == w.main.maximumSize(), fixed);
    }
}

TEST(Dialog, CameraMotionEnablesTheSevenProgrammeControlsAtOnce) {
    Windows w;
    w.param.show();
    for (const char* name :
         {"Edit25", "Edit23", "Edit24", "Edit26", "ComboBox1", "ComboBox2", "ComboBox3"})
        EXPECT_FALSE(w.Get(name)->isEnabled()) << name;
    for (bool on : {true, false}) {
        w.Click("CheckBox1");
        EXPECT_EQ(w.Ws().CameraProgrammeOn, on);
        for (const char* name :
             {"Edit25", "Edit23", "Edit24", "Edit26", "ComboBox1", "ComboBox2", "ComboBox3"})
            EXPECT_EQ(w.Get(name)->isEnabled(), on) << name;
    }
}

// "Ray tracing" and "Photo" are alternatives; the "Photo" values sit with the shading values.
TEST(Dialog, PhotoIsAnAlternativeToRayTracingWithItsValuesBesideTheShading) {
    Windows w;
    ParamFormState& form = w.main.Operations().Form();
    w.Click("CheckBox26");
    w.Click("PhotoCheckBox");
    EXPECT_TRUE(form.PhotoCheckBox);
    EXPECT_FALSE(form.CheckBox26);
    EXPECT_FALSE(w.Get<QCheckBox>("CheckBox26")->isChecked());
    w.Click("CheckBox26");
    EXPECT_FALSE(form.PhotoCheckBox);
    EXPECT_FALSE(w.Get<QCheckBox>("PhotoCheckBox")->isChecked());
    for (const char* name : {"PhotoOcclusionEdit", "PhotoOutlineEdit", "PhotoDepthCueEdit"})
        EXPECT_EQ(GroupOf(w.Edit(name)), "Photo") << name;
    TypeOver(w.Edit("PhotoOutlineEdit"), "0.25");
    w.Click("PhotoCheckBox");
    w.Click("BitBtn1");
    EXPECT_TRUE(w.Ws().Photo);
    EXPECT_EQ(w.Ws().PhotoOutline, 0.25);
}

TEST(Dialog, RayTracingBoxesShowTheWorkspaceAndOkAppliesWhatWasTyped) {
    test::TempDir dir;
    test::WorkspaceLines run;
    run.V0 = "1,2,3";
    run.V1 = "1,0,0";
    run.V2 = "0,1,0";
    run.V3 = "0,0,1";
    run.ScaleLine = "40,0.1234567";
    test::WriteFile(dir.File("run.tsw"), test::Text(run));
    test::WriteFile(dir.File("run.xyz"), std::string(64, '\0'));
    Windows w;
    ASSERT_TRUE(w.Ops().LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    // After the load: the placed light and the loaded font scale, six decimals.
    EXPECT_EQ(w.Edit("Edit2")->text(), "41.000000");
    EXPECT_EQ(w.Edit("Edit4")->text(), "-37.000000");
    EXPECT_EQ(w.Edit("FontScaleEdit")->text(), "0.123457");
    EXPECT_EQ(w.Ws().Projection.FontScale, 0.123457);

    // Shown: values changed since then appear.
    w.Ws().DiffuseCoefficient = 0.25;
    w.Ops().N4Click();
    w.param.Pages()->setCurrentIndex(2);
    QLineEdit* diffuse = w.Edit("Edit5");
    EXPECT_EQ(diffuse->text(), "0.250000");

    // Typing survives repaints, render passes and the menu while the dialog stays open.
    TypeOver(diffuse, "0.95");
    TypeOver(w.Edit("Edit8"), "400");
    w.Click("CheckBox27");
    w.param.repaint();
    w.Ops().RenderScene();
    w.Ops().N4Click();
    QApplication::processEvents();
    EXPECT_EQ(diffuse->text(), "0.95");
    EXPECT_EQ(w.Ws().DiffuseCoefficient, 0.25);

    QTest::keyClick(diffuse, Qt::Key_Return);  // OK is the default button
    EXPECT_FALSE(w.param.isVisible());
    EXPECT_EQ(w.Ws().DiffuseCoefficient, 0.95);
    EXPECT_EQ(w.Ws().BackgroundColour, (Rgb{255, 180, 180}));
    EXPECT_FALSE(w.Ws().HalfAtomRadius);
    EXPECT_EQ(diffuse->text(), "0.950000");
    EXPECT_EQ(w.Edit("Edit8")->text(), "255");

    // Typed but not confirmed: the next showing shows the workspace again.
    w.Ops().N4Click();
    TypeOver(diffuse, "7");
    w.param.hide();
    w.Ops().N4Click();
    EXPECT_EQ(diffuse->text(), "0.950000");
}

TEST(Dialog, LoadPageShowsEachNewLogAndCopiesTheMemo) {
    test::TempDir dir;
    test::WorkspaceLines run;
    run.Molecules.assign(3, test::MoleculeLines{});
    test::WriteFile(dir.File("run.tsw"), test::Text(run));
    test::WriteFile(dir.File("run.xyz"), std::string(64 * 3, '\0'));
    Windows w;
    ASSERT_TRUE(w.Ops().LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    const int secondLog = w.Ops().Form().Memo.LineCount();
    ASSERT_TRUE(w.Ops().LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    const LoadMemo& memo = w.Ops().Form().Memo;

    w.Ops().N4Click();
    MemoView* view = w.param.LoadMemoView();
    EXPECT_EQ(view->toPlainText(), QString::fromStdString(memo.Text()));
    // The latest log starts at the top; the scroll bar reaches the last line.
    EXPECT_EQ(view->FirstVisibleLine(), secondLog);
    EXPECT_EQ(memo.Line(secondLog + 1).substr(0, 5), "Load ");
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(bar->maximum(), memo.LineCount() - bar->pageStep());

    // Yellow text on black.
    const QImage shot = view->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() - 2), QColor(Qt::black));
    bool yellow = false;
    for (int y = 0; y < shot.height() && !yellow; ++y)
        for (int x = 0; x < shot.width() && !yellow; ++x)
            yellow = shot.pixelColor(x, y) == QColor(Qt::yellow);
    EXPECT_TRUE(yellow);

    // Lines 1..3 selected with the mouse and copied, then everything.
    bar->setValue(1);
    const int h = view->LineHeight();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(10, 2 + h / 2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(10, 2 + 2 * h + h / 2));
    EXPECT_EQ(std::make_pair(view->SelectionFirst(), view->SelectionLast()), std::make_pair(1, 3));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
              std::string(memo.Line(1)) + "\n" + std::string(memo.Line(2)) + "\n" +
                  std::string(memo.Line(3)));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(memo.Text()));
}

}  // namespace
}  // namespace tarsel
