// The program on Qt's offscreen platform, in a folder of its own: the real
// window's layout, look, dialogs and keys, and the whole program end to end
// (POSIX serial port, simulated unit on a pseudo terminal) where only the real
// window, the process's signals or its environment can show a fault. The
// handlers' own work is checked on the headless toolkit.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "app/program.h"
#include "sim/pty_unit.h"
#include "support/locale.h"

namespace qv {
namespace {

// A message box as shown: text, title and icon.
using SeenBox = std::tuple<std::string, std::string, QMessageBox::Icon>;
using ModalAction = std::function<void(QWidget*)>;

// The program in a folder of its own, its window shown, and a stand-in for
// the user at every modal window: each message box is recorded; the next
// scripted action, if any, handles the window; otherwise a message box is
// answered with OK, and a question (Yes/No) or a file dialog fails the test
// and is declined.
class QtProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&modalTimer, &QTimer::timeout, [this] { answerModal(); });
        modalTimer.start(10);
        // Line 5 other than "0" shows the "Barometric Mode" frame.
        std::ofstream(settingsFile(), std::ios::binary) << "1\r\n9600\r\n01\r\n\r\n1\r\n";
        ASSERT_TRUE(form.Form_Load());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // The file dialogs move the process into the chosen file's folder.
    void TearDown() override { std::filesystem::current_path(startFolder); }

    void answerModal() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == handled) return;
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box) boxes.emplace_back(box->text().toStdString(), box->windowTitle().toStdString(), box->icon());
        if (!modalActions.empty()) {
            // Run apart from this timer's call, so a window the action opens is answered too.
            handled = modal;
            QTimer::singleShot(0, modal, [this, modal, action = std::move(modalActions.front())] {
                action(modal);
                handled = nullptr;
            });
            modalActions.pop_front();
        } else if (box && box->button(QMessageBox::Ok)) {
            box->button(QMessageBox::Ok)->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            ADD_FAILURE() << "unexpected " << (box ? "question " + box->text() : dialog->windowTitle()).toStdString();
            dialog->reject();
        }
    }

    template <class W = QWidget>
    W* widget(const Control& c) {
        auto* w = qobject_cast<W*>(window.widgetFor(c));
        EXPECT_NE(w, nullptr) << c.name();
        return w;
    }
    // A click the user can make; returns when the operation it started has ended.
    template <class W = QPushButton>
    void click(const Control& c) {
        W* w = widget<W>(c);
        ASSERT_TRUE(w && w->isVisible() && w->isEnabled()) << c.name() << " cannot be clicked";
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void choose(const ComboBox& c, const std::string& item) {
        auto* w = widget<QComboBox>(c);
        int index = w->findText(QString::fromStdString(item));
        ASSERT_GE(index, 0) << c.name() << " has no item " << item;
        w->setCurrentIndex(index);
        emit w->activated(index);
    }
    // Replaces the box's text by typing, as the user would over a selection.
    void type(const TextBox& c, const std::string& keys) {
        widget<QLineEdit>(c)->selectAll();
        QTest::keyClicks(widget(c), QString::fromStdString(keys));
    }
    std::string text(const ComboBox& c) { return widget<QComboBox>(c)->currentText().toStdString(); }
    std::string status() { return widget<QLabel>(form.Label2)->text().toStdString(); }
    std::string settingsFile() const { return folder + "/" + SettingsFileName; }
    std::string savedPort() {
        std::ifstream in(settingsFile());
        std::string port;
        std::getline(in, port);
        return port;
    }

    // A fast (unpaced) unit, detected through the Communications boxes.
    void detectUnit(sim::UnitConfig cfg = sim::defaultConfig()) {
        cfg.paced = false;
        unit = std::make_unique<sim::PtyUnit>(folder, cfg);
        choose(form.Combo1, " " + std::to_string(unit->port()));
        choose(form.Combo2, "9600");
        choose(form.Combo3, cfg.id);
        click(form.cmdDetectZov);
        ASSERT_EQ(status(), "Unit detected!");
    }
    sim::UnitConfig stored() {
        sim::UnitConfig cfg;
        unit->withModel([&](sim::UnitModel& m) { cfg = m.config(); });
        return cfg;
    }

    std::filesystem::path startFolder = std::filesystem::current_path();
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString();
    Program program{folder};
    MainForm& form = program.form;
    MainWindow& window = program.window;
    QtToolkit& ui = program.ui;
    std::unique_ptr<sim::PtyUnit> unit;
    QTimer modalTimer;
    std::deque<ModalAction> modalActions;
    QWidget* handled = nullptr;  // the window a scripted action is at
    std::vector<SeenBox> boxes;
};

using QtWindow = QtProgram;

TEST_F(QtWindow, WindowHasDesignSizeCaptionAndKeepsItsSize) {
    EXPECT_EQ(window.size(), QSize(782, 499));
    EXPECT_EQ(window.windowTitle(), QString::fromUtf8(form.caption));
    EXPECT_TRUE(window.windowTitle().startsWith(QString::fromUtf8("Morvelaine\u00ae Quorvel")));
    EXPECT_FALSE(window.windowIcon().isNull());

    // Even where the fixed size is not kept (a window manager may ignore it),
    // the window puts its own size back after a resize.
    window.setMinimumSize(0, 0);
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window.resize(900, 600);
    QTest::qWait(50);
    EXPECT_EQ(window.size(), QSize(782, 499));
    window.setFixedSize(782, 499);
    // A size forced from outside (as a window manager may do) is put back.
    window.windowHandle()->resize(900, 600);
    QTest::qWait(50);
    EXPECT_EQ(window.size(), QSize(782, 499));
    window.showMinimized();
    QTest::qWait(20);
    window.showNormal();
    QTest::qWait(20);
    EXPECT_EQ(window.size(), QSize(782, 499));
}

// The design's position of each control: left, top, width and height in its
// container ("" for the window).
struct Placement {
    const char* name;
    const char* container;
    QRect rect;
};

const Placement Design[] = {
    {"Frame10", "", {364, 10, 411, 169}},
    {"cmdReadCurrentValues", "Frame10", {10, 32, 115, 47}},
    {"txt12HourTemp", "Frame10", {328, 36, 71, 19}},
    {"cmdWriteValues", "Frame10", {10, 96, 115, 51}},
    {"cboTableTempUnit", "Frame10", {328, 76, 71, 21}},
    {"txtPressureReductionConstant", "Frame10", {328, 118, 71, 19}},
    {"Label13", "Frame10", {180, 38, 143, 17}},
    {"Label14", "Frame10", {146, 80, 175, 17}},
    {"Label1", "Frame10", {148, 120, 177, 17}},
    {"Frame4", "", {6, 184, 769, 217}},
    {"Frame5", "Frame4", {386, 20, 375, 187}},
    {"List2", "Frame5", {92, 18, 275, 160}},
    {"Command4", "Frame5", {6, 50, 79, 43}},
    {"Command2", "Frame5", {6, 106, 79, 43}},
    {"Frame8", "Frame4", {8, 20, 375, 187}},
    {"List1", "Frame8", {92, 16, 275, 160}},
    {"Command10", "Frame8", {6, 26, 79, 43}},
    {"Frame1", "Frame8", {6, 128, 79, 53}},
    {"Option2(0)", "Frame1", {14, 32, 49, 17}},
    {"Option2(1)", "Frame1", {14, 16, 49, 17}},
    {"Command1", "Frame8", {6, 78, 79, 43}},
    {"Frame2", "", {6, 408, 771, 81}},
    {"ProgressBar1", "Frame2", {12, 24, 749, 17}},
    {"Label2", "Frame2", {12, 48, 749, 25}},
    {"Frame13", "", {6, 10, 355, 169}},
    {"Frame3", "Frame13", {8, 22, 335, 65}},
    {"cmdDetectZov", "Frame3", {212, 24, 103, 25}},
    {"Combo1", "Frame3", {10, 32, 47, 21}},
    {"Combo2", "Frame3", {66, 32, 71, 21}},
    {"Combo3", "Frame3", {146, 32, 47, 21}},
    {"Label16", "Frame3", {146, 16, 41, 17}},
    {"Label15", "Frame3", {66, 16, 27, 17}},
    {"Label8", "Frame3", {10, 16, 27, 17}},
    {"Frame7", "Frame13", {8, 94, 335, 65}},
    {"Text1", "Frame7", {82, 28, 241, 19}},
    {"Command7", "Frame7", {10, 22, 61, 27}},
    {"Label7", "Frame7", {82, 12, 169, 17}},
    {"Frame12", "", {108, 24, 193, 65}},
    {"Command12", "Frame12", {112, 24, 65, 25}},
    {"Option4(1)", "Frame12", {40, 40, 65, 17}},
    {"Option4(0)", "Frame12", {40, 16, 57, 17}},
};

void PrintTo(const Placement& p, std::ostream* os) { *os << p.name; }

class ControlPlacement : public QtWindow, public ::testing::WithParamInterface<Placement> {};

TEST_P(ControlPlacement, WidgetSitsInItsContainerAtItsDesignPosition) {
    const Placement& p = GetParam();
    auto* w = window.findChild<QWidget*>(p.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->parentWidget(), *p.container ? window.findChild<QWidget*>(p.container) : &window);
    EXPECT_EQ(w->geometry(), p.rect);
    Control* c = window.controlFor(w);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->name(), p.name);
    EXPECT_EQ(window.widgetFor(*c), w);
}

INSTANTIATE_TEST_SUITE_P(Design, ControlPlacement, ::testing::ValuesIn(Design));

TEST_F(QtWindow, EveryControlIsPlacedAndStackingFontsAndColoursFollowTheDesign) {
    for (Control* c : form.controls())
        EXPECT_TRUE(std::any_of(std::begin(Design), std::end(Design), [&](auto& p) { return c->name() == p.name; }))
            << c->name();
    EXPECT_EQ(widget<QPushButton>(form.cmdDetectZov)->text(), QStringLiteral("Detect Unit"));
    // Barometric Mode lies above Program Setup.
    QObjectList top = window.children();
    EXPECT_GT(top.indexOf(window.widgetFor(form.Frame12)), top.indexOf(window.widgetFor(form.Frame13)));
    // A control inside a bold frame keeps the window's regular font.
    for (auto [control, points, bold] : {std::tuple<Control*, double, bool>{&form.Frame10, 9.75, true},
                                         {&form.Combo1, 8.25, true}, {&form.cmdReadCurrentValues, 8.25, false}}) {
        EXPECT_DOUBLE_EQ(widget(*control)->font().pointSizeF(), points) << control->name();
        EXPECT_EQ(widget(*control)->font().bold(), bold) << control->name();
    }
    EXPECT_EQ(widget(form.Label2)->palette().color(QPalette::Active, QPalette::WindowText), QColor(128, 0, 128));
}

// An operation disables the Status frame; the status line and the progress
// bar are drawn exactly as before, though the frame takes no input.
TEST_F(QtWindow, StatusLineAndProgressBarKeepTheirLookWhileTheirFrameIsDisabled) {
    form.Label2.setCaption("Reading table from unit...");
    form.ProgressBar1.setMax(180);
    form.ProgressBar1.setValue(90);
    const QImage line = widget(form.Label2)->grab().toImage(), bar = widget(form.ProgressBar1)->grab().toImage();
    bool inked = false;  // the status line's purple
    for (int y = 0; y < line.height(); ++y)
        for (int x = 0; x < line.width(); ++x) inked = inked || line.pixelColor(x, y) == QColor(128, 0, 128);
    ASSERT_TRUE(inked);
    form.DisableFrames();
    ASSERT_FALSE(widget(form.Label2)->isEnabled() || widget(form.ProgressBar1)->isEnabled());
    EXPECT_TRUE(widget(form.Label2)->grab().toImage() == line);
    EXPECT_TRUE(widget(form.ProgressBar1)->grab().toImage() == bar);
}

TEST_F(QtWindow, ModelChangesShowInTheWidgets) {
    auto* list = widget<QListWidget>(form.List2);
    form.List2.addItem(" 20  1.0123");
    form.List2.addItem("-40  .9876");
    EXPECT_EQ(list->count(), 2);
    form.List2.clear();
    form.List2.addItem(" 7  1");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral(" 7  1"));
    // A drop-down box's text stands apart from its list.
    form.Combo3.setText("5");
    form.Combo3.addItem(" 5");
    EXPECT_EQ(widget<QComboBox>(form.Combo3)->itemText(form.Combo3.listCount() - 1), QStringLiteral(" 5"));
    EXPECT_EQ(text(form.Combo3), "5");
    form.ProgressBar1.setMax(180);
    form.ProgressBar1.setValue(45);
    EXPECT_EQ(widget<QProgressBar>(form.ProgressBar1)->maximum(), 180);
    EXPECT_EQ(widget<QProgressBar>(form.ProgressBar1)->value(), 45);
    form.Option4_0.setValue(true);
    EXPECT_TRUE(widget<QRadioButton>(form.Option4_0)->isChecked());
    form.Option4_0.setValue(false);
    EXPECT_FALSE(widget<QRadioButton>(form.Option4_0)->isChecked() || widget<QRadioButton>(form.Option4_1)->isChecked());
    form.EnableFrames();
    for (Control* c : form.controls()) EXPECT_TRUE(widget(*c)->isEnabled()) << c->name();
    form.Frame12.setVisible(false);
    EXPECT_FALSE(widget(form.Command12)->isVisible());
}

// A click on an option button of an array picks it alone, in the model too.
TEST_F(QtWindow, OptionClickRunsTheArraysHandler) {
    form.EnableFrames();
    std::vector<int> picked;
    form.Option2.onClick = [&](int index) { picked.push_back(index); };
    click<QRadioButton>(form.Option2_0);
    EXPECT_EQ(picked, std::vector<int>{0});
    EXPECT_TRUE(form.Option2_0.value() && !form.Option2_1.value());
    EXPECT_FALSE(widget<QRadioButton>(form.Option2_1)->isChecked());
}

TEST_F(QtWindow, NumericBoxTakesOnlyNumberCharactersAndDropDownBoxesNone) {
    form.EnableFrames();
    auto* box = widget<QLineEdit>(form.txt12HourTemp);
    QTest::keyClicks(box, "a");
    EXPECT_EQ(box->text(), QString());
    EXPECT_EQ(ui.beeps(), 1);
    QTest::keyClicks(box, "-12.5");
    EXPECT_EQ(ui.beeps(), 1);
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), QStringLiteral("-12.5"));
    EXPECT_EQ(form.txt12HourTemp.text(), "-12.5");
    EXPECT_EQ(ui.beeps(), 2);
    form.Combo2.setText("9600");
    QTest::keyClicks(widget(form.Combo2), "7x");
    EXPECT_EQ(text(form.Combo2), "9600");
    EXPECT_EQ(form.Combo2.text(), "9600");
    EXPECT_EQ(ui.beeps(), 2);
}

// Enter in a box clicks the default button while there is one (the first
// detection takes it away); without one the box's key handler gets 13.
TEST_F(QtWindow, EnterClicksTheDefaultButtonElseReachesTheKeyHandler) {
    form.EnableFrames();
    EXPECT_TRUE(widget<QPushButton>(form.cmdDetectZov)->isDefault());
    int detects = 0;
    form.cmdDetectZov.onClick = [&] { form.defaultButton = ++detects == 2 ? nullptr : form.defaultButton; };
    std::vector<int> keys;
    form.Text1.onKeyPress = [&](int& k) { keys.push_back(k); };
    QTest::keyClick(widget(form.Text1), Qt::Key_Return);
    EXPECT_TRUE(keys.empty());
    QTest::keyClick(widget(form.Combo1), Qt::Key_Return);
    EXPECT_FALSE(widget<QPushButton>(form.cmdDetectZov)->isDefault());
    QTest::keyClick(widget(form.Combo1), Qt::Key_Return);
    QTest::keyClicks(widget(form.Text1), "x");
    QTest::keyClick(widget(form.Text1), Qt::Key_Return);
    EXPECT_EQ(detects, 2);
    EXPECT_EQ(keys, (std::vector<int>{'x', 13}));
    EXPECT_EQ(form.Text1.text(), "x");
}

TEST_F(QtWindow, FocusMapsBetweenControlsAndWidgets) {
    window.activateWindow();
    ui.setFocus(form.Combo3);
    EXPECT_EQ(ui.focus(), &form.Combo3);
    // Tab walks the tab indexes: Unit ID (13), Baud (14), Port (15).
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(ui.focus(), &form.Combo2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(ui.focus(), &form.Combo1);
    EXPECT_EQ(window.controlFor(widget<QComboBox>(form.Combo1)->lineEdit()), &form.Combo1);
    window.setFocus();
    EXPECT_EQ(ui.focus(), nullptr);  // the window itself is no control
}

TEST_F(QtWindow, ClosingWaitsForTheRunningOperation) {
    bool visibleAfterClose = false;
    form.Command12.onClick = [&] {
        form.dispatch([&] {
            window.close();
            visibleAfterClose = window.isVisible();
        });
    };
    click(form.Command12);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(form.closing());
    QTest::qWait(20);
    EXPECT_FALSE(window.isVisible());
}

// The room a control gives its caption, and how the caption is set in it
// (no text: not a control with a caption).
struct CaptionPlace {
    QString text;
    QRect area;
    int flags = 0;
};

CaptionPlace captionPlace(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return {label->text(), label->contentsRect(), static_cast<int>(label->alignment()) | Qt::TextWordWrap};
    // A frame's caption starts 8 pixels in and ends before the border's right edge.
    if (auto* frame = qobject_cast<QGroupBox*>(w))
        return {frame->title(), QRect(8, 0, frame->width() - 11, frame->height()), Qt::AlignLeft | Qt::AlignTop};
    auto* button = qobject_cast<QAbstractButton*>(w);
    if (!button) return {};
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    // Push buttons wrap their captions onto more lines.
    if (qobject_cast<QRadioButton*>(w))
        return {button->text(), button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button),
                Qt::AlignLeft | Qt::AlignVCenter};
    return {button->text(), button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button),
            Qt::AlignCenter | Qt::TextWordWrap};
}

// A second window on the form in a given font family: Liberation Sans, which
// is close to the design's font in width, and DejaVu Sans, the wider one of a
// desktop without it.
class CaptionTest : public QtWindow, public ::testing::WithParamInterface<const char*> {};

TEST_P(CaptionTest, EveryCaptionShowsWholeInItsControl) {
    const QString family = QString::fromLatin1(GetParam());
    MainWindow inFamily{form, family};
    inFamily.show();
    ASSERT_EQ(QFontInfo(inFamily.font()).family(), family) << "the font is not installed";
    int measured = 0;
    for (Control* c : form.controls()) {
        QWidget* w = inFamily.widgetFor(*c);
        const CaptionPlace place = captionPlace(w);
        if (place.text.isEmpty()) continue;
        ++measured;
        EXPECT_EQ(QFontInfo(w->font()).family(), family) << c->name();
        QRect needed = QFontMetrics(w->font()).boundingRect(place.area, place.flags, place.text);
        EXPECT_TRUE(needed.width() <= place.area.width() && needed.height() <= place.area.height())
            << c->name() << " \"" << place.text.toStdString() << "\" needs " << needed.width() << " x "
            << needed.height() << " in " << place.area.width() << " x " << place.area.height() << " at "
            << w->font().pointSizeF() << " pt, stretch " << w->font().stretch();
    }
    EXPECT_EQ(measured, 30);  // 7 labels, 9 buttons, 10 frames, 4 option buttons
}

INSTANTIATE_TEST_SUITE_P(Fonts, CaptionTest, ::testing::Values("DejaVu Sans", "Liberation Sans"));

// A message box: the buttons and icon asked for, the button clicked, the
// answer returned and the icon shown.
struct BoxCase {
    const char* name;
    Buttons buttons;
    Icon icon;
    QMessageBox::StandardButton clicked;
    Answer answer;
    QMessageBox::Icon shownIcon;
};

void PrintTo(const BoxCase& c, std::ostream* os) { *os << c.name; }

class MessageBoxTest : public QtWindow, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, ShowsTextTitleIconAndReturnsTheAnswer) {
    const BoxCase& c = GetParam();
    const std::string text = " Table has more than 180 lines. Please verify... ";
    modalActions.push_back([&](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(c.clicked)->click(); });
    EXPECT_EQ(ui.messageBox(text, "File", c.buttons, c.icon), c.answer);
    EXPECT_EQ(boxes, (std::vector<SeenBox>{{text, "File", c.shownIcon}}));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MessageBoxTest,
    ::testing::Values(BoxCase{"NoToAWarning", Buttons::YesNo, Icon::Exclamation, QMessageBox::No, Answer::No, QMessageBox::Warning},
                      BoxCase{"YesToAStop", Buttons::YesNo, Icon::Stop, QMessageBox::Yes, Answer::Yes, QMessageBox::Critical},
                      BoxCase{"OkToInformation", Buttons::OK, Icon::Information, QMessageBox::Ok, Answer::OK, QMessageBox::Information}));

// The dialog's detail view shows each of its 4 columns (name, size, type,
// date) whole: each as wide as its contents and its heading, and all of them
// within the list. The folder is read in the background, so its `rows` are
// waited for.
void expectColumnsShownWhole(QWidget* dialog, int rows) {
    auto* view = dialog->findChild<QTreeView*>();
    ASSERT_TRUE(view && view->isVisible());
    QHeaderView* header = view->header();
    std::string cut;
    for (int waited = 0; waited < 3000; waited += 20, QTest::qWait(20)) {
        cut = view->model()->rowCount(view->rootIndex()) < rows ? "the folder's files are not listed;" : "";
        int total = 0;
        for (int c = 0; c < header->count(); ++c) {
            const int contents = static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c);
            const int needed = std::max(contents, header->sectionSizeHint(c)), width = header->sectionSize(c);
            if (!header->isSectionHidden(c) && width < needed)
                cut += " column " + std::to_string(c) + " is " + std::to_string(width) + " of " + std::to_string(needed);
            total += header->isSectionHidden(c) ? 0 : width;
        }
        if (total > view->viewport()->width()) cut += " the columns need " + std::to_string(total) + " pixels";
        if (cut.empty()) break;
    }
    EXPECT_EQ(header->count() - header->hiddenSectionCount(), 4);
    EXPECT_EQ(cut, "") << "dialog " << dialog->width() << " x " << dialog->height();
}

TEST_F(QtWindow, FileDialogsShowTheirColumnsWholeAndSaveAsksNoOverwriteQuestionOfItsOwn) {
    const std::string table = "PRR Table 03-04-2024 .TXT";
    std::ofstream(folder + "/" + table) << "old";
    // An entry whose size, type and date run wider than the dialog's defaults.
    std::ofstream(folder + "/pressure reduction ratios of the second station.txt") << std::string(3 << 20, 'x');
    QStringList filters;
    modalActions.push_back([&](QWidget* w) {
        expectColumnsShownWhole(w, 3);
        // A file that turns up while the dialog is open is shown whole too.
        std::ofstream(folder + "/pressure reduction ratios of the second station (2).txt") << "x";
        expectColumnsShownWhole(w, 4);
        filters = qobject_cast<QFileDialog*>(w)->nameFilters();
        QMetaObject::invokeMethod(w, "accept");
    });
    FileDialogResult r = ui.showSave({"All Files (*.*) |*.*", table, 0, "Enter a Pressure Reduction Ratio File name", folder});
    QTest::qWait(300);  // a box now would be a question of the dialog's own
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(r.confirmed);
    EXPECT_EQ(std::filesystem::path(r.fileName), std::filesystem::path(folder) / table);
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(filters, QStringList{QStringLiteral("All Files (*.*) (*)")});

    // Cancelled, a dialog gives back the name it was given, none included.
    for (const std::string name : {"table.txt", ""}) {
        modalActions.push_back([](QWidget* w) {
            expectColumnsShownWhole(w, 4);
            qobject_cast<QFileDialog*>(w)->reject();
        });
        r = ui.showOpen({"Pressure Reduction Ratio Files (*.*) |*.*", name, 1, "Select", folder});
        EXPECT_FALSE(r.confirmed);
        EXPECT_EQ(r.fileName, name);
        EXPECT_EQ(r.filterIndex, 1);
    }
}

// A portable copy's table dialogs open in its own folder; an installed copy's
// in the user's documents folder (user-dirs.dirs, else ~/Documents where it
// exists), else in the home folder, never in the per-user settings folder.
TEST(QtTableFolder, PortableCopyUsesItsOwnFolderAnInstalledOneTheUsersDocuments) {
    const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    const bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    QTemporaryDir base;
    const char* const papers = "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
    // portable, ~/.config/user-dirs.dirs, a folder made in home, and the
    // folder expected below home
    const std::tuple<bool, const char*, const char*, std::string> cases[] = {
        {true, papers, "Papers", "/.config/quorvel-config"},
        {false, papers, "Papers", "/Papers"},
        {false, nullptr, "Documents", "/Documents"},
        {false, nullptr, nullptr, ""},
    };
    for (int row = 0; const auto& [portable, userDirs, documents, expected] : cases) {
        const std::string home = base.path().toStdString() + "/home" + std::to_string(row++);
        std::filesystem::create_directories(home + "/.config/quorvel-config");
        if (userDirs) std::ofstream(home + "/.config/user-dirs.dirs") << userDirs;
        if (documents) std::filesystem::create_directory(home + "/" + documents);
        qputenv("HOME", QByteArray::fromStdString(home));
        // A folder given by name alone is a portable copy's.
        const std::string own = home + "/.config/quorvel-config";
        QtToolkit toolkit = portable ? QtToolkit(own) : QtToolkit(ProgramFolder{own, false, {}});
        EXPECT_EQ(toolkit.tableFolder(), home + expected) << "row " << row;
    }
    qputenv("HOME", savedHome);
    if (hadConfig) qputenv("XDG_CONFIG_HOME", savedConfig);
}

using EndToEnd = QtProgram;

TEST_F(EndToEnd, TerminationSignalDuringATableWriteClosesWithoutAskingAndSavesTheSettings) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.table.clear();
    detectUnit(cfg);
    std::ofstream table(folder + "/table.txt", std::ios::binary);
    for (int i = 1; i <= 30; ++i) table << i << " 1.5\r\n";
    table.close();
    type(form.Text1, folder + "/table.txt");
    click(form.Command10);

    program.closeOnTerminationSignals();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (status().rfind("Sending: *0100EW*0100JT003", 0) == 0) {
            watch.stop();
            ::raise(SIGTERM);
        }
    });
    watch.start(0);
    click(form.Command1);  // any question fails the test
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 2000));
    EXPECT_TRUE(form.closing());
    EXPECT_LT(stored().table.size(), 30u);
    EXPECT_EQ(savedPort(), " " + std::to_string(unit->port()) + "\r");
}

// The simulated unit, linked after start-up, shows beside its number in the
// opened Port list; picked there, the number alone goes into the box, the
// link and the settings file.
TEST_F(EndToEnd, OpenPortListShowsTheUnitBesideItsNumberAndPickingItKeepsThePlainNumber) {
    detectUnit();
    choose(form.Combo1, " 98");
    const std::string number = " " + std::to_string(unit->port());
    auto* box = widget<QComboBox>(form.Combo1);
    box->showPopup();
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 2000));
    const QModelIndex row = list->model()->index(box->findText(QString::fromStdString(number)), 0);
    const QString shown = MainWindow::popupRowText(row);
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(number)));
    EXPECT_TRUE(shown.endsWith(QString::fromStdString("   COM" + number.substr(1) + " \u2192 " + unit->slavePath())))
        << shown.toStdString();
    // Rows are drawn with their details, and the open list is wide enough for them.
    const int rowWidth = QFontMetrics(list->font()).horizontalAdvance(shown);
    EXPECT_GE(list->sizeHintForColumn(0), rowWidth);
    EXPECT_GE(list->viewport()->width(), rowWidth);
    EXPECT_EQ(text(form.Combo1), " 98");

    list->scrollTo(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    EXPECT_EQ(text(form.Combo1), number);
    click(form.cmdDetectZov);
    EXPECT_EQ(status(), "Unit detected!");
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(savedPort(), number + "\r");
}

// Under a locale with a decimal comma the values read with "." as their point
// and with no grouping separator, as the unit and the table files write them.
class EndToEndInLocale : public EndToEnd, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        QV_SET_LOCALE_OR_SKIP(GetParam());
        EndToEnd::SetUp();
    }
    void TearDown() override {
        std::setlocale(LC_ALL, saved.c_str());
        EndToEnd::TearDown();
    }
    const std::string saved = std::setlocale(LC_ALL, nullptr);
};

TEST_P(EndToEndInLocale, DetectedValuesAreWrittenBackUnchangedAndACommaIsNoNumber) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.jc = "29.921";
    detectUnit(cfg);
    click(form.cmdWriteValues);
    EXPECT_EQ(status(), "Configuration values saved successfully.");
    EXPECT_EQ(stored().jc, "29.921");

    std::ofstream(folder + "/comma.txt", std::ios::binary) << "20 1,0123\r\n";
    type(form.Text1, folder + "/comma.txt");
    click(form.Command10);
    click(form.Command1);
    const SeenBox nonNumeric{" Non-numeric ratio value detected, line  1.  Transfer aborted.", "Error", {}};
    EXPECT_EQ(boxes, std::vector<SeenBox>{nonNumeric});
    EXPECT_EQ(stored().table, sim::defaultConfig().table);
}

INSTANTIATE_TEST_SUITE_P(DecimalComma, EndToEndInLocale, ::testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"));

// QUORVEL_TRACE names the trace file while the program is made.
class TraceNamedInEnvironment {
protected:
    TraceNamedInEnvironment() { ::setenv("QUORVEL_TRACE", traceFile.c_str(), 1); }
    ~TraceNamedInEnvironment() { ::unsetenv("QUORVEL_TRACE"); }
    QTemporaryDir traceDir;
    std::string traceFile = traceDir.path().toStdString() + "/wire.txt";
};

class TracedEndToEnd : protected TraceNamedInEnvironment, public EndToEnd {};

TEST_F(TracedEndToEnd, DetectionIsTracedWhenTheEnvironmentNamesAFile) {
    detectUnit();
    std::ifstream in(traceFile);
    std::vector<std::string> events, sent;
    for (std::string line; std::getline(in, line);) events.push_back(line.size() > 24 ? line.substr(24) : line);
    for (const std::string& e : events)
        if (e.find(" sent ") != std::string::npos || e.find(" open ") != std::string::npos) sent.push_back(e);
    const std::string com = "COM" + std::to_string(unit->port()) + " ";
    std::vector<std::string> expected{com + "open 9600,N,8,1"};
    for (const char* mn : {"VR", "VR", "JH", "JP", "JC"}) expected.push_back(com + "sent *0100" + mn + "\\r\\n");
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(events.size(), 12u);
    EXPECT_EQ(events.back(), com + "close");
}

}  // namespace
}  // namespace qv

int main(int argc, char** argv) {
    // The tests draw offscreen unless told otherwise (test discovery at build
    // time runs without the test environment).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
