// The real window on Qt's offscreen platform: layout, mirroring of the model
// controls, and the user's clicks and keys reaching the handlers.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFont>
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
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <ostream>

#include "app/main_form.h"
#include "platform/qt/main_window.h"
#include "platform/qt/qt_toolkit.h"
#include "support/no_serial_port.h"

namespace qv {
namespace {

using NoPort = NoSerialPort;

// Runs `action` on the modal widget that a call is about to show, from the
// event loop of that widget.
void onNextModal(std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

// The window over a port that is never there, in the desktop's font or in
// the font family given.
class WindowParts {
protected:
    explicit WindowParts(const QString& fontFamily = {}) : window{form, fontFamily} {
        ui.attach(&window);
        window.show();
    }

    template <class W>
    W* widget(const Control& c) {
        return qobject_cast<W*>(window.widgetFor(c));
    }

    QTemporaryDir dir;
    QtToolkit ui{dir.path().toStdString()};
    NoPort port;
    SystemClock clock;
    FileSystem files;
    Platform platform{ui, port, clock, files};
    MainForm form{platform};
    MainWindow window;
};

class WindowTest : public ::testing::Test, protected WindowParts {
protected:
    void SetUp() override { ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)); }
};

TEST_F(WindowTest, WindowHasDesignSizeCaptionAndKeepsItsSize) {
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
// container.
struct Placement {
    const char* name;
    const char* container;  // "" for the window
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

class ControlPlacement : public WindowTest, public ::testing::WithParamInterface<Placement> {
protected:
    Control* control(const std::string& name) {
        for (Control* c : form.controls())
            if (c->name() == name) return c;
        return nullptr;
    }
};

TEST_P(ControlPlacement, WidgetSitsInItsContainerAtItsDesignPosition) {
    const Placement& p = GetParam();
    Control* c = control(p.name);
    ASSERT_NE(c, nullptr);
    QWidget* w = window.widgetFor(*c);
    ASSERT_NE(w, nullptr);
    QWidget* container = &window;
    if (*p.container) {
        Control* outer = control(p.container);
        ASSERT_NE(outer, nullptr);
        container = window.widgetFor(*outer);
    }
    EXPECT_EQ(w->parentWidget(), container);
    EXPECT_EQ(w->geometry(), p.rect);
    EXPECT_EQ(window.controlFor(w), c);
}

INSTANTIATE_TEST_SUITE_P(Design, ControlPlacement, ::testing::ValuesIn(Design), [](const auto& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '(', '_');
    name.erase(std::remove(name.begin(), name.end(), ')'), name.end());
    return name;
});

TEST_F(WindowTest, EveryControlHasADesignPositionAndTheStackingFollowsTheDesign) {
    for (Control* c : form.controls())
        EXPECT_TRUE(std::any_of(std::begin(Design), std::end(Design), [&](const Placement& p) { return c->name() == p.name; }))
            << c->name();
    EXPECT_EQ(widget<QPushButton>(form.cmdDetectZov)->text(), QStringLiteral("Detect Unit"));

    // Barometric Mode lies above Program Setup.
    QObjectList top = window.children();
    EXPECT_GT(top.indexOf(window.widgetFor(form.Frame12)), top.indexOf(window.widgetFor(form.Frame13)));
    EXPECT_EQ(window.controlFor(widget<QComboBox>(form.Combo1)->lineEdit()), &form.Combo1);
}

TEST_F(WindowTest, FontsAndColoursFollowTheDesign) {
    QFont outer = window.widgetFor(form.Frame10)->font();
    EXPECT_DOUBLE_EQ(outer.pointSizeF(), 9.75);
    EXPECT_TRUE(outer.bold());
    QFont inner = window.widgetFor(form.Combo1)->font();
    EXPECT_DOUBLE_EQ(inner.pointSizeF(), 8.25);
    EXPECT_TRUE(inner.bold());
    // A control inside a bold frame keeps the window's regular font.
    QFont plain = window.widgetFor(form.cmdReadCurrentValues)->font();
    EXPECT_DOUBLE_EQ(plain.pointSizeF(), 8.25);
    EXPECT_FALSE(plain.bold());
    EXPECT_EQ(widget<QLabel>(form.Label2)->palette().color(QPalette::Active, QPalette::WindowText),
              QColor(128, 0, 128));
}

TEST_F(WindowTest, EnabledStateOfFramesReachesTheirWidgets) {
    EXPECT_FALSE(window.widgetFor(form.cmdReadCurrentValues)->isEnabled());
    EXPECT_FALSE(window.widgetFor(form.Text1)->isEnabled());
    EXPECT_TRUE(window.widgetFor(form.cmdDetectZov)->isEnabled());

    form.DisableFrames();
    EXPECT_FALSE(window.widgetFor(form.cmdDetectZov)->isEnabled());
    EXPECT_FALSE(window.widgetFor(form.Command12)->isEnabled());
    form.EnableFrames();
    for (Control* c : form.controls()) EXPECT_TRUE(window.widgetFor(*c)->isEnabled()) << c->name();
    form.Frame3.setEnabled(false);
    EXPECT_FALSE(window.widgetFor(form.Combo2)->isEnabled());
    form.Frame12.setVisible(false);
    EXPECT_TRUE(window.widgetFor(form.Command12)->isHidden() || !window.widgetFor(form.Frame12)->isVisible());
}

// A control of the Status frame, brought into a state that draws something.
struct StatusCase {
    const char* name;
    Control& (*control)(MainForm&);
    void (*prepare)(MainForm&);
    QColor ink;  // a colour the drawing holds, where one is known
};

void PrintTo(const StatusCase& c, std::ostream* out) { *out << c.name; }

class StatusLookTest : public WindowTest, public ::testing::WithParamInterface<StatusCase> {};

// An operation disables the Status frame; the status line and the progress
// bar are drawn exactly as before, though the frame takes no input.
TEST_P(StatusLookTest, KeepsItsLookWhileItsFrameIsDisabled) {
    GetParam().prepare(form);
    QWidget* w = window.widgetFor(GetParam().control(form));
    const QImage enabled = w->grab().toImage();
    if (GetParam().ink.isValid()) {
        bool inked = false;
        for (int y = 0; y < enabled.height() && !inked; ++y)
            for (int x = 0; x < enabled.width() && !inked; ++x) inked = enabled.pixelColor(x, y) == GetParam().ink;
        ASSERT_TRUE(inked) << "nothing drawn in " << GetParam().ink.name().toStdString();
    }
    form.DisableFrames();
    ASSERT_FALSE(w->isEnabled());
    EXPECT_TRUE(w->grab().toImage() == enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Status, StatusLookTest,
    ::testing::Values(
        StatusCase{"StatusLine", [](MainForm& f) -> Control& { return f.Label2; },
                   [](MainForm& f) { f.Label2.setCaption("Reading table from unit..."); }, QColor(128, 0, 128)},
        StatusCase{"ProgressBar", [](MainForm& f) -> Control& { return f.ProgressBar1; },
                   [](MainForm& f) {
                       f.ProgressBar1.setMax(180);
                       f.ProgressBar1.setValue(90);
                   },
                   QColor()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTest, ModelChangesShowInTheWidgets) {
    form.Label2.setCaption("Reading table from unit...");
    EXPECT_EQ(widget<QLabel>(form.Label2)->text(), QStringLiteral("Reading table from unit..."));

    auto* list = widget<QListWidget>(form.List2);
    form.List2.addItem(" 20  1.0123");
    form.List2.addItem("-40  .9876");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("-40  .9876"));
    form.List2.clear();
    form.List2.addItem(" 7  1");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral(" 7  1"));

    // A drop-down box's text stands apart from its list.
    auto* combo = widget<QComboBox>(form.Combo1);
    form.Combo1.setText("5");
    form.Combo1.addItem(" 5");
    EXPECT_EQ(combo->count(), 1);
    EXPECT_EQ(combo->currentText(), QStringLiteral("5"));

    auto* bar = widget<QProgressBar>(form.ProgressBar1);
    form.ProgressBar1.setMax(180);
    form.ProgressBar1.setValue(45);
    EXPECT_EQ(bar->maximum(), 180);
    EXPECT_EQ(bar->value(), 45);

    form.Option4_0.setValue(true);
    EXPECT_TRUE(widget<QRadioButton>(form.Option4_0)->isChecked());
    form.Option4_0.setValue(false);
    EXPECT_FALSE(widget<QRadioButton>(form.Option4_0)->isChecked());
    EXPECT_FALSE(widget<QRadioButton>(form.Option4_1)->isChecked());
}

TEST_F(WindowTest, ClicksRunTheModelHandlers) {
    int clicks = 0;
    form.Command12.onClick = [&] { ++clicks; };
    QTest::mouseClick(widget<QPushButton>(form.Command12), Qt::LeftButton);
    EXPECT_EQ(clicks, 1);

    int reads = 0;
    form.cmdReadCurrentValues.onClick = [&] { ++reads; };
    QTest::mouseClick(widget<QPushButton>(form.cmdReadCurrentValues), Qt::LeftButton);
    EXPECT_EQ(reads, 0);  // its frame is disabled

    form.EnableFrames();
    std::vector<int> picked;
    form.Option2.onClick = [&](int index) { picked.push_back(index); };
    QTest::mouseClick(widget<QRadioButton>(form.Option2_0), Qt::LeftButton);
    EXPECT_EQ(picked, std::vector<int>{0});
    EXPECT_TRUE(form.Option2_0.value());
    EXPECT_FALSE(form.Option2_1.value());
    EXPECT_FALSE(widget<QRadioButton>(form.Option2_1)->isChecked());

    auto* unit = widget<QComboBox>(form.cboTableTempUnit);
    emit unit->activated(2);
    EXPECT_EQ(form.cboTableTempUnit.listIndex(), 2);
    EXPECT_EQ(form.cboTableTempUnit.text(), "    \u00b0R");
    EXPECT_EQ(unit->currentText(), QString::fromUtf8("    \u00b0R"));
}

TEST_F(WindowTest, NumericBoxTakesOnlyNumberCharacters) {
    form.EnableFrames();
    auto* box = widget<QLineEdit>(form.txt12HourTemp);
    QTest::keyClicks(box, "a");
    EXPECT_EQ(box->text(), QString());
    EXPECT_EQ(form.txt12HourTemp.text(), "");
    EXPECT_EQ(ui.beeps(), 1);

    QTest::keyClicks(box, "-12.5");
    EXPECT_EQ(box->text(), QStringLiteral("-12.5"));
    EXPECT_EQ(form.txt12HourTemp.text(), "-12.5");
    EXPECT_EQ(ui.beeps(), 1);

    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text(), QStringLiteral("-12.5"));
    EXPECT_EQ(ui.beeps(), 2);

    // Typing into a drop-down box changes nothing and does not beep.
    auto* combo = widget<QComboBox>(form.Combo2);
    form.Combo2.setText("9600");
    QTest::keyClicks(combo, "7x");
    EXPECT_EQ(combo->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(form.Combo2.text(), "9600");
    EXPECT_EQ(ui.beeps(), 2);
}

TEST_F(WindowTest, EnterClicksTheDefaultButtonWhileThereIsOne) {
    auto* detect = widget<QPushButton>(form.cmdDetectZov);
    EXPECT_TRUE(detect->isDefault());
    int detects = 0;
    form.cmdDetectZov.onClick = [&] {
        ++detects;
        form.defaultButton = nullptr;
    };
    QTest::keyClick(widget<QComboBox>(form.Combo1), Qt::Key_Return);
    EXPECT_EQ(detects, 1);
    EXPECT_FALSE(detect->isDefault());
    QTest::keyClick(widget<QComboBox>(form.Combo1), Qt::Key_Return);
    EXPECT_EQ(detects, 1);
}

TEST_F(WindowTest, EnterReachesTheKeyHandlerOnlyWithoutDefaultButton) {
    form.EnableFrames();
    std::vector<int> keys;
    form.Text1.onKeyPress = [&](int& k) { keys.push_back(k); };
    int detects = 0;
    form.cmdDetectZov.onClick = [&] { ++detects; };
    auto* text = widget<QLineEdit>(form.Text1);
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(detects, 1);
    EXPECT_TRUE(keys.empty());

    form.defaultButton = nullptr;
    QTest::keyClicks(text, "x");
    QTest::keyClick(text, Qt::Key_Return);
    EXPECT_EQ(detects, 1);
    EXPECT_EQ(keys, (std::vector<int>{'x', 13}));
    EXPECT_EQ(form.Text1.text(), "x");
}

TEST_F(WindowTest, FocusMapsBetweenControlsAndWidgets) {
    window.activateWindow();
    ui.setFocus(form.Combo3);
    EXPECT_EQ(ui.focus(), &form.Combo3);
    // Tab walks the tab indexes: Unit ID (13), Baud (14), Port (15).
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(ui.focus(), &form.Combo2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(ui.focus(), &form.Combo1);
}

// The room a control gives its caption, and how the caption is set in it.
struct CaptionPlace {
    QString text;
    QRect area;
    int flags = 0;
};

std::optional<CaptionPlace> captionPlace(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return CaptionPlace{label->text(), label->contentsRect(), static_cast<int>(label->alignment()) | Qt::TextWordWrap};
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        if (qobject_cast<QRadioButton*>(w))
            return CaptionPlace{button->text(),
                                button->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button),
                                Qt::AlignLeft | Qt::AlignVCenter};
        // Push buttons wrap their captions onto more lines.
        return CaptionPlace{button->text(),
                            button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button),
                            Qt::AlignCenter | Qt::TextWordWrap};
    }
    // A frame's caption starts 8 pixels in and ends before the border's right edge.
    if (auto* frame = qobject_cast<QGroupBox*>(w))
        return CaptionPlace{frame->title(), QRect(8, 0, frame->width() - 11, frame->height()),
                            Qt::AlignLeft | Qt::AlignTop};
    return std::nullopt;
}

// The window in a given font family: Liberation Sans, which is close to the
// design's font in width, and DejaVu Sans, the wider one of a desktop without it.
class CaptionTest : public ::testing::TestWithParam<const char*>, protected WindowParts {
protected:
    CaptionTest() : WindowParts(QString::fromLatin1(GetParam())) {}
};

TEST_P(CaptionTest, EveryCaptionShowsWholeInItsControl) {
    const QString family = QString::fromLatin1(GetParam());
    ASSERT_EQ(QFontInfo(window.font()).family(), family) << "the font is not installed";
    int measured = 0;
    for (Control* c : form.controls()) {
        QWidget* w = window.widgetFor(*c);
        std::optional<CaptionPlace> place = captionPlace(w);
        if (!place || place->text.isEmpty()) continue;
        ++measured;
        EXPECT_EQ(QFontInfo(w->font()).family(), family) << c->name();
        QRect needed = QFontMetrics(w->font()).boundingRect(place->area, place->flags, place->text);
        EXPECT_TRUE(needed.width() <= place->area.width() && needed.height() <= place->area.height())
            << c->name() << " \"" << place->text.toStdString() << "\" needs " << needed.width() << " x "
            << needed.height() << " in " << place->area.width() << " x " << place->area.height() << " at "
            << w->font().pointSizeF() << " pt, stretch " << w->font().stretch();
    }
    EXPECT_EQ(measured, 30);  // 7 labels, 9 buttons, 10 frames, 4 option buttons
}

INSTANTIATE_TEST_SUITE_P(Fonts, CaptionTest, ::testing::Values("DejaVu Sans", "Liberation Sans"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::erase(name, ' ');
                             return name;
                         });

TEST_F(WindowTest, MessageBoxShowsTextTitleIconAndReturnsTheAnswer) {
    const std::string text = " Table has more than 180 lines. Please verify... ";
    QString seenText, seenTitle;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    onNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        seenText = box->text();
        seenTitle = box->windowTitle();
        seenIcon = box->icon();
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(ui.messageBox(text, "File", Buttons::YesNo, Icon::Exclamation), Answer::No);
    EXPECT_EQ(seenText, QString::fromStdString(text));
    EXPECT_EQ(seenTitle, QStringLiteral("File"));
    EXPECT_EQ(seenIcon, QMessageBox::Warning);

    onNextModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        seenIcon = box->icon();
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(ui.messageBox("Replace?", "File", Buttons::YesNo, Icon::Stop), Answer::Yes);
    EXPECT_EQ(seenIcon, QMessageBox::Critical);
}

// The dialog's detail view shows each column (name, size, type, date) whole:
// each as wide as its contents and its heading, and all of them within the
// list. The folder is read in the background, so its `rows` are waited for.
void expectColumnsShownWhole(QFileDialog* dialog, int rows) {
    auto* view = dialog->findChild<QTreeView*>();
    ASSERT_NE(view, nullptr);
    QHeaderView* header = view->header();
    std::string cut;
    auto shownWhole = [&] {
        cut.clear();
        if (view->model()->rowCount(view->rootIndex()) < rows) cut = "the folder's files are not listed";
        int total = 0;
        for (int c = 0; c < header->count(); ++c) {
            if (header->isSectionHidden(c)) continue;
            const int contents = static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c);
            const int heading = header->sectionSizeHint(c);
            const int width = header->sectionSize(c);
            if (width < std::max(contents, heading))
                cut += " column " + std::to_string(c) + " is " + std::to_string(width) + " wide for " +
                       std::to_string(contents) + " of contents and " + std::to_string(heading) + " of heading;";
            total += width;
        }
        if (total > view->viewport()->width())
            cut += " the columns need " + std::to_string(total) + " of " +
                   std::to_string(view->viewport()->width()) + " pixels;";
        return cut.empty();
    };
    for (int waited = 0; waited < 3000 && !shownWhole(); waited += 20) QTest::qWait(20);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(header->count() - header->hiddenSectionCount(), 4);
    EXPECT_EQ(cut, "") << "dialog " << dialog->width() << " x " << dialog->height();
}

TEST_F(WindowTest, SaveDialogReturnsTheChosenPathWithoutItsOwnOverwriteQuestion) {
    const std::string folder = dir.path().toStdString();
    { std::ofstream(folder + "/PRR Table 03-04-2024 .TXT") << "old"; }
    // Entries whose size, type and date run wider than the dialog's defaults.
    { std::ofstream(folder + "/pressure reduction ratios of the second station.txt") << std::string(3 << 20, 'x'); }
    { std::ofstream(folder + "/table.txt") << " 20  1.0123\r\n"; }
    const int entries = 3;
    auto before = std::filesystem::current_path();
    QStringList filters;
    onNextModal([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        filters = dialog->nameFilters();
        expectColumnsShownWhole(dialog, entries);
        QMetaObject::invokeMethod(dialog, "accept");
        // A box now would be a question of the dialog's own (the open dialog
        // that follows may be up by then).
        QTimer::singleShot(300, [] {
            if (auto* extra = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "unexpected modal window " << extra->windowTitle().toStdString();
                extra->close();
            }
        });
    });
    FileDialogResult r = ui.showSave({"All Files (*.*) |*.*", "PRR Table 03-04-2024 .TXT", 0,
                                      "Enter a Pressure Reduction Ratio File name", folder});
    std::filesystem::current_path(before);
    EXPECT_TRUE(r.confirmed);
    EXPECT_EQ(std::filesystem::path(r.fileName), std::filesystem::path(folder) / "PRR Table 03-04-2024 .TXT");
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(filters, QStringList{QStringLiteral("All Files (*.*) (*)")});

    onNextModal([](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        expectColumnsShownWhole(dialog, entries);
        dialog->reject();
    });
    r = ui.showOpen({"Pressure Reduction Ratio Files (*.*) |*.*", "table.txt", 1, "Select", folder});
    EXPECT_FALSE(r.confirmed);
    EXPECT_EQ(r.fileName, "table.txt");
    EXPECT_EQ(r.filterIndex, 1);
}

TEST_F(WindowTest, ClosingWaitsForTheRunningOperation) {
    bool visibleAfterClose = false;
    form.Command12.onClick = [&] {
        form.dispatch([&] {
            window.close();
            visibleAfterClose = window.isVisible();
        });
    };
    QTest::mouseClick(widget<QPushButton>(form.Command12), Qt::LeftButton);
    EXPECT_TRUE(visibleAfterClose);
    EXPECT_TRUE(form.closing());
    QTest::qWait(20);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(WindowTest, ClosingWhenIdleRunsTheShutdownStepAtOnce) {
    const std::string settings = dir.path().toStdString() + "/" + SettingsFileName;
    { std::ofstream(settings) << "1\r\n9600\r\n01\r\n\r\n0\r\n"; }
    form.PortNumber = "4";
    window.close();
    EXPECT_FALSE(window.isVisible());
    std::ifstream in(settings);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "4\r");
}

// A portable copy's table dialogs open in its own folder; an installed copy's
// in the user's documents folder (user-dirs.dirs, else ~/Documents where it
// exists), else in the home folder, never in the per-user settings folder.
TEST(QtTableFolder, PortableCopyUsesItsOwnFolderAnInstalledOneTheUsersDocuments) {
    const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    const bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    QTemporaryDir base;
    const struct {
        const char* what;
        bool portable;
        const char* userDirs;     // ~/.config/user-dirs.dirs, when not null
        const char* documents;    // a folder made in home, when not null
        std::string expected;     // below home
    } cases[] = {
        {"portable", true, "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n", "Papers", "/.config/quorvel-config"},
        {"installed, user-dirs.dirs", false, "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n", "Papers", "/Papers"},
        {"installed, ~/Documents", false, nullptr, "Documents", "/Documents"},
        {"installed, no documents folder", false, nullptr, nullptr, ""},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string home = base.path().toStdString() + "/home" + std::to_string(row++);
        std::filesystem::create_directories(home + "/.config/quorvel-config");
        if (c.userDirs) std::ofstream(home + "/.config/user-dirs.dirs") << c.userDirs;
        if (c.documents) std::filesystem::create_directory(home + "/" + c.documents);
        qputenv("HOME", QByteArray::fromStdString(home));
        QtToolkit toolkit{ProgramFolder{home + "/.config/quorvel-config", c.portable, {}}};
        EXPECT_EQ(toolkit.tableFolder(), home + c.expected);
    }
    qputenv("HOME", savedHome);
    if (hadConfig) qputenv("XDG_CONFIG_HOME", savedConfig);
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
