#include "settings/TParamForm.h"

#include <gtest/gtest.h>

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
struct Windows {
    TMain main;
    TParamForm param{main.Operations().Form(), main.Operations(), &main};
    TWorldForm world{main.Operations().Ws(), &main};
    Windows() {
        main.Attach(&param, &world);
        main.show();
    }
    Viewer& Ops() { return main.Operations(); }
    Workspace& Ws() { return main.Operations().Ws(); }

    template <typename T>
    T* Get(const char* name) {
        T* w = param.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLineEdit* Edit(const char* name) { return Get<QLineEdit>(name); }
    void Click(const char* name) { Get<QAbstractButton>(name)->click(); }
    void ShowPage(int index) {
        param.Pages()->setCurrentIndex(index);
        QApplication::processEvents();
    }
};

QString GroupOf(QWidget* w) {
    for (QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget())
        if (auto* g = qobject_cast<QGroupBox*>(p)) return g->title();
    return {};
}

TEST(Dialog, LaidOutAsAFixedNonModalWindowWithThreePagesAndOk) {
    Windows w;
    EXPECT_EQ(w.param.windowTitle(), "WorkSpace");
    EXPECT_EQ(w.param.size(), QSize(548, 482));
    EXPECT_EQ(w.param.minimumSize(), w.param.maximumSize());
    EXPECT_FALSE(w.param.isModal());
    w.Ops().N4Click();
    EXPECT_TRUE(w.param.isVisible());
    EXPECT_TRUE(w.main.isEnabled());
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
    EXPECT_EQ(w.param.LoadMemoView()->toPlainText(), "LoadMemo");
}

TEST(Dialog, ControlsHaveTheirNamesCaptionsGroupsAndDefaults) {
    Windows w;
    const struct {
        const char* Name;
        const char* Caption;
        const char* Group;
        bool Checked;
    } boxes[] = {
        {"ZBufferCheckBox", "Z buffered", "Visualisation", true},
        {"BallCheckBox", "Draw ball", "Visualisation", true},
        {"BondCheckBox", "Draw bonds", "Visualisation", true},
        {"AtomColorCheckBox", "Atom name", "Visualisation", true},
        {"WorldAxwsCheckBox", "Cube", "Visualisation", true},
        {"CheckBox28", "Half radius", "Visualisation", false},
        {"CheckBox26", "Ray tracing", "Visualisation", false},
        {"RadioButtonMouseWheel1", "Central projection point", "Mouse wheel", true},
        {"RadioButtonMouseWheel2", "Scale factor", "Mouse wheel", false},
        {"RadioButtonMouseWheel3", "None", "Mouse wheel", false},
        {"SaveAVICheckBox", "Save AVI", "Video", false},
        {"CheckBox1", "Camera Motion", "Motion Control", false},
        {"CheckBox27", "Half Atom Radius", "3D World", true},
    };
    for (const auto& b : boxes) {
        auto* box = w.Get<QAbstractButton>(b.Name);
        if (box == nullptr) continue;
        EXPECT_EQ(box->text(), b.Caption) << b.Name;
        EXPECT_EQ(GroupOf(box), b.Group) << b.Name;
        EXPECT_EQ(box->isChecked(), b.Checked) << b.Name;
    }
    EXPECT_EQ(w.Get<QLabel>("Label_PP")->text(), "Label_PP");
    EXPECT_EQ(w.Get<QLabel>("Label_Scale")->text(), "Label_Scale");

    const struct {
        const char* Name;
        const char* Text;
        const char* Group;
        bool Enabled;
    } edits[] = {
        {"FontScaleEdit", "0.1", "Visualisation", true},
        {"FrameTimeEdit", "1.0", "Video", true},
        {"FrameTimerEdit", "30", "Motion Control", true},
        {"FrameNumberEdit", "1", "Motion Control", true},
        {"Edit25", "1.0", "Motion Control", false},
        {"Edit23", "2", "Motion Control", false},
        {"Edit24", "2", "Motion Control", false},
        {"Edit26", "0.5", "Motion Control", false},
        {"Edit5", "0.600000", "Atoms (Lambert-Phong-Blinn model)", true},
        {"Edit8", "180", "3D World", true},
        {"Edit4", "0.000000", "3D World", true},
    };
    for (const auto& e : edits) {
        QLineEdit* edit = w.Edit(e.Name);
        if (edit == nullptr) continue;
        EXPECT_EQ(edit->text(), e.Text) << e.Name;
        EXPECT_EQ(GroupOf(edit), e.Group) << e.Name;
        EXPECT_EQ(edit->isEnabled(), e.Enabled) << e.Name;
    }

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
        EXPECT_FALSE(combo->isEnabled()) << name;
    }

    const std::pair<const char*, const char*> buttons[] = {
        {"Button2", "Play"},        {"Button3", "Stop"},     {"Button4", "+1"},
        {"Button5", "-1"},          {"Button6", "PlayBack"}, {"Button1", "Go to Frame"},
        {"Button7", "Save as File"}};
    for (const auto& [name, caption] : buttons) {
        auto* button = w.Get<QPushButton>(name);
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(GroupOf(button), "Motion Control");
    }

    auto* track = w.Get<QSlider>("TrackBar1");
    EXPECT_EQ(track->orientation(), Qt::Horizontal);
    EXPECT_EQ(track->minimum(), 0);
    EXPECT_EQ(track->maximum(), 500);
    EXPECT_EQ(track->value(), 0);
    EXPECT_EQ(track->tickPosition(), QSlider::TicksBelow);
    EXPECT_EQ(track->tickInterval(), 500);
}

// Every control shows its own field of the state and writes its own field back.
TEST(Dialog, EachControlIsBoundToItsOwnField) {
    Windows w;
    ParamFormState& form = w.Ops().Form();
    w.param.show();
    const struct {
        ParamControl Id;
        std::string ParamFormState::*Field;
        const char* Name;
    } edits[] = {
        {ParamControl::FontScaleEdit, &ParamFormState::FontScaleEdit, "FontScaleEdit"},
        {ParamControl::FrameTimeEdit, &ParamFormState::FrameTimeEdit, "FrameTimeEdit"},
        {ParamControl::FrameTimerEdit, &ParamFormState::FrameTimerEdit, "FrameTimerEdit"},
        {ParamControl::FrameNumberEdit, &ParamFormState::FrameNumberEdit, "FrameNumberEdit"},
        {ParamControl::Edit25, &ParamFormState::Edit25, "Edit25"},
        {ParamControl::Edit23, &ParamFormState::Edit23, "Edit23"},
        {ParamControl::Edit24, &ParamFormState::Edit24, "Edit24"},
        {ParamControl::Edit26, &ParamFormState::Edit26, "Edit26"},
        {ParamControl::Edit5, &ParamFormState::Edit5, "Edit5"},
        {ParamControl::Edit6, &ParamFormState::Edit6, "Edit6"},
        {ParamControl::Edit7, &ParamFormState::Edit7, "Edit7"},
        {ParamControl::Edit8, &ParamFormState::Edit8, "Edit8"},
        {ParamControl::Edit9, &ParamFormState::Edit9, "Edit9"},
        {ParamControl::Edit10, &ParamFormState::Edit10, "Edit10"},
        {ParamControl::Edit2, &ParamFormState::Edit2, "Edit2"},
        {ParamControl::Edit3, &ParamFormState::Edit3, "Edit3"},
        {ParamControl::Edit4, &ParamFormState::Edit4, "Edit4"},
    };
    form.CheckBox1 = true;  // enables the programme's rows for typing
    w.param.Refresh(ParamControl::CheckBox1);
    for (const auto& e : edits) {
        QLineEdit* edit = w.Edit(e.Name);
        form.*e.Field = std::string("shown ") + e.Name;
        w.param.Refresh(e.Id);
        EXPECT_EQ(edit->text().toStdString(), form.*e.Field);
        edit->selectAll();
        QTest::keyClicks(edit, QString("typed ") + e.Name);
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
        {ParamControl::CheckBox27, &ParamFormState::CheckBox27, "CheckBox27"},
    };
    for (const auto& b : boxes) {
        auto* box = w.Get<QCheckBox>(b.Name);
        const bool shown = !(form.*b.Field);
        form.*b.Field = shown;
        w.param.Refresh(b.Id);
        EXPECT_EQ(box->isChecked(), shown) << b.Name;
        box->click();
        EXPECT_EQ(form.*b.Field, !shown) << b.Name;
    }

    const struct {
        ParamControl Id;
        int ParamFormState::*Field;
        const char* Name;
    } combos[] = {
        {ParamControl::ComboBox1, &ParamFormState::ComboBox1, "ComboBox1"},
        {ParamControl::ComboBox2, &ParamFormState::ComboBox2, "ComboBox2"},
        {ParamControl::ComboBox3, &ParamFormState::ComboBox3, "ComboBox3"},
    };
    for (const auto& c : combos) {
        auto* combo = w.Get<QComboBox>(c.Name);
        form.*c.Field = 4;
        w.param.Refresh(c.Id);
        EXPECT_EQ(combo->currentIndex(), 4) << c.Name;
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        EXPECT_EQ(form.*c.Field, 5) << c.Name;
    }

    form.MouseWheel = WheelMode::None;
    w.param.Refresh(ParamControl::MouseWheel);
    EXPECT_TRUE(w.Get<QRadioButton>("RadioButtonMouseWheel3")->isChecked());
    EXPECT_FALSE(w.Get<QRadioButton>("RadioButtonMouseWheel1")->isChecked());
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
    QWidget* start = w.Get<QWidget>("ZBufferCheckBox");
    QWidget* next = start;
    do {
        if (next->focusPolicy() & Qt::TabFocus && expected.contains(next->objectName()))
            order << next->objectName();
        next = next->nextInFocusChain();
    } while (next != start && order.size() < expected.size());
    EXPECT_EQ(order, expected);
}

TEST(Dialog, UserEditsGoIntoTheState) {
    Windows w;
    const ParamFormState& form = w.Ops().Form();
    w.ShowPage(1);
    w.param.show();
    QTest::keyClicks(w.Edit("FrameTimerEdit"), "0");
    EXPECT_EQ(form.FrameTimerEdit, "300");
    w.Click("BallCheckBox");
    EXPECT_FALSE(form.BallCheckBox);
    w.Click("RadioButtonMouseWheel2");
    EXPECT_EQ(form.MouseWheel, WheelMode::ScaleFactor);
    w.Click("CheckBox1");
    auto* combo = w.Get<QComboBox>("ComboBox2");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(form.ComboBox2, 1);
    w.Get<QSlider>("TrackBar1")->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_GT(form.TrackBar1, 0);

    // What the viewer writes is shown, and is not taken for an edit.
    w.Ops().Form().FrameNumberEdit = "42";
    w.param.Refresh(ParamControl::FrameNumberEdit);
    EXPECT_EQ(w.Edit("FrameNumberEdit")->text(), "42");
    w.Ops().Form().TrackBar1 = 250;
    w.param.Refresh(ParamControl::TrackBar1);
    EXPECT_EQ(w.Get<QSlider>("TrackBar1")->value(), 250);
}

TEST(Dialog, OkAppliesTheDefaultsAndSaveAviFixesTheMainWindowBorder) {
    Windows w;
    w.Ops().N4Click();
    ASSERT_TRUE(w.param.isVisible());
    w.ShowPage(1);
    QTest::mouseClick(w.param.BitBtn1(), Qt::LeftButton);
    EXPECT_FALSE(w.param.isVisible());
    EXPECT_EQ(w.Ws().FrameTime, 1.0);
    EXPECT_EQ(w.Ws().ProgrammeInterval, 1.0);
    EXPECT_EQ(w.Ws().PeriodEnd, (std::array<double, 3>{200, 200, 50}));
    EXPECT_NE(w.main.minimumSize(), w.main.maximumSize());

    w.Ops().N4Click();
    w.Click("SaveAVICheckBox");
    QTest::mouseClick(w.param.BitBtn1(), Qt::LeftButton);
    EXPECT_TRUE(w.Ws().RecordAvi);
    EXPECT_EQ(w.main.minimumSize(), w.main.maximumSize());

    w.Ops().N4Click();
    w.Click("SaveAVICheckBox");
    QTest::mouseClick(w.param.BitBtn1(), Qt::LeftButton);
    EXPECT_FALSE(w.Ws().RecordAvi);
    EXPECT_NE(w.main.minimumSize(), w.main.maximumSize());
}

TEST(Dialog, CameraMotionEnablesTheSevenProgrammeControlsAtOnce) {
    Windows w;
    w.param.show();
    w.ShowPage(1);
    const char* programme[] = {"Edit25",    "Edit23",    "Edit24",   "Edit26",
                               "ComboBox1", "ComboBox2", "ComboBox3"};
    for (bool on : {true, false}) {
        w.Click("CheckBox1");
        EXPECT_EQ(w.Ws().CameraProgrammeOn, on);
        for (const char* name : programme)
            EXPECT_EQ(w.Get<QWidget>(name)->isEnabled(), on) << name;
    }
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
    w.ShowPage(2);
    EXPECT_EQ(w.Edit("Edit5")->text(), "0.250000");

    // Typing survives repaints and render passes while the dialog stays open.
    QLineEdit* diffuse = w.Edit("Edit5");
    diffuse->selectAll();
    QTest::keyClicks(diffuse, "0.95");
    QLineEdit* red = w.Edit("Edit8");
    red->selectAll();
    QTest::keyClicks(red, "400");
    w.Get<QCheckBox>("CheckBox27")->click();
    w.param.repaint();
    w.Ops().RenderScene();
    w.Ops().N4Click();  // the menu again, on the open dialog
    QApplication::processEvents();
    EXPECT_EQ(diffuse->text(), "0.95");
    EXPECT_EQ(w.Ws().DiffuseCoefficient, 0.25);

    QTest::keyClick(diffuse, Qt::Key_Return);  // OK is the default button
    EXPECT_FALSE(w.param.isVisible());
    EXPECT_EQ(w.Ws().DiffuseCoefficient, 0.95);
    EXPECT_EQ(w.Ws().BackgroundColour, (Rgb{255, 180, 180}));
    EXPECT_FALSE(w.Ws().HalfAtomRadius);
    EXPECT_EQ(w.Ws().LightPosition, (Vec3{41, 42, -37}));
    EXPECT_EQ(diffuse->text(), "0.950000");
    EXPECT_EQ(red->text(), "255");

    // Typed but not confirmed: showing the dialog again shows the workspace.
    w.Ops().N4Click();
    diffuse->selectAll();
    QTest::keyClicks(diffuse, "7");
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
    Viewer& ops = w.Ops();
    ASSERT_TRUE(ops.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    const int firstLog = 1;
    const int secondLog = ops.Form().Memo.LineCount();
    ASSERT_TRUE(ops.LoadWorkspaceFile(dir.File("run.tsw")).Loaded);
    const LoadMemo& memo = ops.Form().Memo;
    ASSERT_GT(memo.LineCount(), secondLog);

    ops.N4Click();
    MemoView* view = w.param.LoadMemoView();
    EXPECT_EQ(view->toPlainText(), QString::fromStdString(memo.Text()));
    // The latest log starts at the top; the scroll bar reaches the last line.
    EXPECT_EQ(view->FirstVisibleLine(), secondLog);
    QScrollBar* bar = view->verticalScrollBar();
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    const int visible = bar->pageStep();
    EXPECT_EQ(bar->maximum(), memo.LineCount() - visible);
    EXPECT_EQ(memo.Line(secondLog + 1).substr(0, 5), "Load ");

    // Yellow text on black.
    const QImage shot = view->viewport()->grab().toImage();
    EXPECT_EQ(shot.pixelColor(shot.width() - 2, shot.height() - 2), QColor(Qt::black));
    bool yellow = false;
    for (int y = 0; y < shot.height() && !yellow; ++y)
        for (int x = 0; x < shot.width() && !yellow; ++x)
            yellow = shot.pixelColor(x, y) == QColor(Qt::yellow);
    EXPECT_TRUE(yellow);

    // Select lines with the mouse, then everything; copy.
    bar->setValue(firstLog);
    const int h = view->LineHeight();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, QPoint(10, 2 + h / 2));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(10, 2 + 2 * h + h / 2));
    EXPECT_EQ(view->SelectionFirst(), firstLog);
    EXPECT_EQ(view->SelectionLast(), firstLog + 2);
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QString copied = QApplication::clipboard()->text();
    EXPECT_EQ(copied, QString::fromStdString(std::string(memo.Line(firstLog)) + "\n" +
                                             std::string(memo.Line(firstLog + 1)) + "\n" +
                                             std::string(memo.Line(firstLog + 2))));
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(memo.Text()));
}

}  // namespace
}  // namespace tarsel
