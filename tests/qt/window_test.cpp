// The program on Qt's offscreen platform, in a folder of its own: the real
// window's layout, look, dialogs and keys, and the whole program end to end
// (POSIX serial port, simulated unit on a pseudo terminal) where only the real
// window, the process's signals or its environment can show a fault. The
// handlers' own work is checked on the headless toolkit.

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/program.h"
#include "sim/pty_unit.h"
#include "support/locale.h"
#include "support/window_design.h"

namespace qv {
namespace {

// A message box as shown: text, title and icon.
using SeenBox = std::tuple<std::string, std::string, QMessageBox::Icon>;

// The program in a folder of its own, its window shown, and a stand-in for
// the user at every modal window: each message box is recorded; the next
// scripted action, if any, handles the window; otherwise a message box is
// answered with OK, and a question (Yes/No) or a file dialog fails the test
// and is declined.
class QtWindow : public ::testing::Test {
protected:
    void SetUp() override {
        modalTimer.callOnTimeout([this] { answerModal(); }), modalTimer.start(10);
        // Line 5 other than "0" shows the "Barometric Mode" frame.
        std::ofstream(folder + "/" + SettingsFileName, std::ios::binary) << "1\r\n9600\r\n01\r\n\r\n1\r\n";
        ASSERT_TRUE(form.Form_Load());
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    // The file dialogs move the process into the chosen file's folder.
    void TearDown() override { std::filesystem::current_path(startFolder), std::setlocale(LC_ALL, locale.c_str()); }

    void answerModal() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == handled) return;
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box) boxes.emplace_back(box->text().toStdString(), box->windowTitle().toStdString(), box->icon());
        if (!modalActions.empty()) {
            // Run apart from this timer's call, so a window the action opens is answered too.
            handled = modal;
            auto action = std::move(modalActions.front());
            QTimer::singleShot(0, modal, [this, modal, action] { action(modal), handled = nullptr; });
            modalActions.pop_front();
        } else if (box && box->button(QMessageBox::Ok)) {
            box->button(QMessageBox::Ok)->click();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            ADD_FAILURE() << "unexpected " << (box ? "question " + box->text() : dialog->windowTitle()).toStdString();
            dialog->reject();
        }
    }

    template <class W = QWidget> W* widget(const Control& c) { return qobject_cast<W*>(window.widgetFor(c)); }
    // A click the user can make, a frame after the window was last drawn (so
    // the pressed button is drawn at once); returns when its operation has ended.
    void click(const Control& c) {
        auto* w = widget<QAbstractButton>(c);
        ASSERT_TRUE(w && w->isVisible() && w->isEnabled()) << c.name() << " cannot be clicked";
        QTest::qWait(20);
        QTest::mouseClick(w, Qt::LeftButton);
    }
    // A fast (unpaced) unit set up as `cfg` at the port in the Port box, detected.
    void detectUnit() {
        unit = std::make_unique<sim::PtyUnit>(folder, cfg);
        form.Combo1.setText(" " + std::to_string(unit->port()));
        click(form.cmdDetectZov);
        ASSERT_EQ(form.Label2.caption(), "Unit detected!");
    }
    sim::UnitConfig stored() { sim::UnitConfig c; return unit->withModel([&](auto& m) { c = m.config(); }), c; }
    // Types a table file's name into its box and sends the file to the unit.
    void sendTable(const std::string& name, const std::string& contents) {
        std::ofstream(folder + "/" + name, std::ios::binary) << contents;
        QTest::keyClicks(widget(form.Text1), QString::fromStdString(folder + "/" + name));
        click(form.Command10);
        click(form.Command1);
    }

    std::filesystem::path startFolder = std::filesystem::current_path();
    const std::string locale = std::setlocale(LC_ALL, nullptr);
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString();
    Program program{folder};
    MainForm& form = program.form;
    MainWindow& window = program.window;
    QtToolkit& ui = program.ui;
    sim::UnitConfig cfg = [] { auto c = sim::defaultConfig(); return c.paced = false, c; }();  // fast: not paced
    std::unique_ptr<sim::PtyUnit> unit;
    QTimer modalTimer;
    std::deque<std::function<void(QWidget*)>> modalActions;
    QWidget* handled = nullptr;  // the window a scripted action is at
    std::vector<SeenBox> boxes;
};

using test::Design;
using test::Placement;

class ControlPlacement : public QtWindow, public ::testing::WithParamInterface<Placement> {};

TEST_P(ControlPlacement, WidgetSitsInItsContainerAtItsDesignPosition) {
    const auto [name, container, rect] = GetParam();
    auto* w = window.findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->parentWidget(), *container ? window.findChild<QWidget*>(container) : &window);
    EXPECT_EQ(w->geometry(), QRect(rect.left, rect.top, rect.width, rect.height));
    EXPECT_EQ(window.controlFor(w) ? window.controlFor(w)->name() : "none", name);
}

INSTANTIATE_TEST_SUITE_P(Design, ControlPlacement, ::testing::ValuesIn(Design));

// The window: its caption and icon, a button's caption, one control for each row of the design,
// Barometric Mode above Program Setup, a control inside a bold frame in the
// window's regular font; it keeps its design size.
TEST_F(QtWindow, WindowFollowsTheDesignAndKeepsItsSize) {
    EXPECT_TRUE(window.windowTitle() == QString::fromUtf8(form.caption) && !window.windowIcon().isNull());
    EXPECT_EQ(widget<QAbstractButton>(form.cmdDetectZov)->text(), QStringLiteral("Detect Unit"));
    EXPECT_EQ(form.controls().size(), std::size(Design));
    EXPECT_GT(window.children().indexOf(widget(form.Frame12)), window.children().indexOf(widget(form.Frame13)));
    auto font = [&](const Control& c) { return std::pair(widget(c)->font().pointSizeF(), widget(c)->font().bold()); };
    EXPECT_EQ((std::vector{font(form.Frame10), font(form.Combo1), font(form.cmdReadCurrentValues)}),
              (std::vector<std::pair<double, bool>>{{9.75, true}, {8.25, true}, {8.25, false}}));
    window.hide(), window.show();  // shown again, it leaves the focus where it is
    // Even where the fixed size is not kept (a window manager may ignore it),
    // the window puts its own size back after a resize.
    window.setMinimumSize(0, 0);
    window.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window.resize(900, 600);
    QTest::qWait(50);
    EXPECT_EQ(window.size(), QSize(782, 499));
}

// An operation disables the Status frame; the status line (purple) and the
// progress bar are drawn exactly as before, though the frame takes no input.
TEST_F(QtWindow, ModelChangesShowInTheWidgetsAndTheStatusKeepsItsLookWhileDisabled) {
    form.Label2.setCaption("Reading table from unit...");
    form.ProgressBar1.setMax(180), form.ProgressBar1.setValue(90);
    EXPECT_EQ(widget(form.Label2)->palette().color(QPalette::Active, QPalette::WindowText),
              QColor(test::StatusColour.red, test::StatusColour.green, test::StatusColour.blue));
    const QImage line = widget(form.Label2)->grab().toImage(), bar = widget(form.ProgressBar1)->grab().toImage();
    form.DisableFrames();
    ASSERT_FALSE(widget(form.Label2)->isEnabled() || widget(form.ProgressBar1)->isEnabled());
    EXPECT_TRUE(widget(form.Label2)->grab().toImage() == line && widget(form.ProgressBar1)->grab().toImage() == bar);
    // A list box cleared and refilled shows the new rows only; an option
    // button set off leaves its array with none picked.
    form.List2.addItem(" 20  1.0123");
    form.List2.clear();
    form.List2.addItem(" 7  1");
    auto* list = widget<QListWidget>(form.List2);
    EXPECT_TRUE(list->count() == 1 && list->item(0)->text() == QStringLiteral(" 7  1"));
    form.Option4_0.setValue(true), form.Option4_0.setValue(false);
    for (auto* o : {&form.Option4_0, &form.Option4_1}) EXPECT_FALSE(widget<QRadioButton>(*o)->isChecked()) << o->name();
    window.close();  // nothing running: closes at once
    EXPECT_FALSE(window.isVisible());
}

// Keys in real boxes: a numeric box takes only number characters (a refused
// key beeps), a drop-down box none; Enter clicks the default button while
// there is one (the first detection takes it away), else the box's key
// handler gets 13; a click on an option button picks it alone; focus; a close.
TEST_F(QtWindow, KeysClicksFocusAndCloseReachTheControls) {
    form.EnableFrames();
    QTest::keyClicks(widget(form.txt12HourTemp), "a-12.5");
    QTest::keyClick(widget(form.txt12HourTemp), Qt::Key_Backspace);
    EXPECT_EQ(form.txt12HourTemp.text(), "-12.5");
    QTest::keyClicks(widget(form.Combo2), "7x");
    EXPECT_EQ(form.Combo2.text(), "9600");
    EXPECT_EQ(ui.beeps(), 2);

    std::vector<int> seen;  // what the handlers were given
    form.Option2.onClick = [&](int index) { seen.push_back(index); };
    click(form.Option2_0);
    EXPECT_TRUE(form.Option2_0.value() && !form.Option2_1.value());
    int detects = 0;
    form.cmdDetectZov.onClick = [&] { form.defaultButton = ++detects == 2 ? nullptr : form.defaultButton; };
    form.Text1.onKeyPress = [&](int& k) { seen.push_back(k); };
    QTest::keyClick(widget(form.Text1), Qt::Key_Return);
    QTest::keyClick(widget(form.Combo1), Qt::Key_Return);
    QTest::keyClicks(widget(form.Text1), "x");
    QTest::keyClick(widget(form.Text1), Qt::Key_Return);
    EXPECT_EQ(detects, 2);
    EXPECT_EQ(seen, (std::vector<int>{0, 'x', 13}));

    // Tab follows the tab indexes: Unit ID (13) to Baud (14).
    window.activateWindow();
    ui.setFocus(form.Combo3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(ui.focus(), &form.Combo2);
    EXPECT_EQ(window.controlFor(widget<QComboBox>(form.Combo1)->lineEdit()), &form.Combo1);
    window.setFocus();
    EXPECT_EQ(ui.focus(), nullptr);  // the window itself is no control
    // Closed while an operation runs, the window waits for it to end.
    bool visibleAfterClose = false;
    form.Command12.onClick = [&] { form.dispatch([&] { visibleAfterClose = (window.close(), window.isVisible()); }); };
    click(form.Command12);
    EXPECT_TRUE(visibleAfterClose && form.closing());
    QTest::qWait(20);
    EXPECT_FALSE(window.isVisible());
}

// A second window on the form in Liberation Sans (close to the design's font
// in width) and in DejaVu Sans (the wider one of a desktop without it). Each
// caption fits the room its control gives it: a label's contents, a frame's
// top edge from 8 pixels in to the border's right edge, a button's contents
// (push buttons wrap their captions onto more lines).
class CaptionTest : public QtWindow, public ::testing::WithParamInterface<const char*> {};

TEST_P(CaptionTest, EveryCaptionShowsWholeInItsControl) {
    const QString family = QString::fromLatin1(GetParam());
    MainWindow inFamily{form, family};
    inFamily.show();
    ASSERT_EQ(QFontInfo(inFamily.font()).family(), family) << "the font is not installed";
    int measured = 0;
    for (Control* c : form.controls()) {
        QWidget* w = inFamily.widgetFor(*c);
        QString text; QRect area;  // and the room it has
        int flags = Qt::AlignCenter | Qt::TextWordWrap;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            text = label->text(), area = label->contentsRect(), flags = label->alignment() | Qt::TextWordWrap;
        } else if (auto* frame = qobject_cast<QGroupBox*>(w)) {
            text = frame->title(), area = frame->rect().adjusted(8, 0, -3, 0), flags = Qt::AlignLeft | Qt::AlignTop;
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = text = button->text();
            const bool radio = qobject_cast<QRadioButton*>(w);
            const auto part = radio ? QStyle::SE_RadioButtonContents : QStyle::SE_PushButtonContents;
            area = button->style()->subElementRect(part, &option, button);
            if (radio) flags = Qt::AlignLeft | Qt::AlignVCenter;
        }
        if (text.isEmpty()) continue;
        ++measured;
        EXPECT_EQ(QFontInfo(w->font()).family(), family) << c->name();
        const QRect needed = QFontMetrics(w->font()).boundingRect(area, flags, text);
        EXPECT_TRUE(needed.width() <= area.width() && needed.height() <= area.height()) << c->name();
    }
    EXPECT_EQ(measured, 30);  // 7 labels, 9 buttons, 10 frames, 4 option buttons
}

INSTANTIATE_TEST_SUITE_P(Fonts, CaptionTest, ::testing::Values("DejaVu Sans", "Liberation Sans"));

// A message box: the buttons and icon asked for, the button clicked, the
// answer returned and the icon shown.
struct BoxCase { Buttons buttons; Icon icon; QMessageBox::StandardButton click; Answer a; QMessageBox::Icon shown; };
void PrintTo(const BoxCase& c, std::ostream* o) { *o << QMetaEnum::fromType<QMessageBox::Icon>().valueToKey(c.shown); }

class MessageBoxTest : public QtWindow, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxTest, ShowsTextTitleIconAndReturnsTheAnswer) {
    const auto [buttons, icon, clicked, answer, shownIcon] = GetParam();
    const std::string text = " Table has more than 180 lines. Please verify... ";
    modalActions.push_back([clicked](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(clicked)->click(); });
    EXPECT_EQ(ui.messageBox(text, "File", buttons, icon), answer);
    EXPECT_EQ(boxes, (std::vector<SeenBox>{{text, "File", shownIcon}}));
}

INSTANTIATE_TEST_SUITE_P(Answers, MessageBoxTest, ::testing::Values(
    BoxCase{Buttons::YesNo, Icon::Exclamation, QMessageBox::No, Answer::No, QMessageBox::Warning},
    BoxCase{Buttons::YesNo, Icon::Stop, QMessageBox::Yes, Answer::Yes, QMessageBox::Critical},
    BoxCase{Buttons::OK, Icon::Information, QMessageBox::Ok, Answer::OK, QMessageBox::Information}));

// The file dialogs show their detail view's 4 columns (name, size, type,
// date) whole and within the list, also for a file that turns up while one is
// open; the save dialog asks no replace question of its own.
TEST_F(QtWindow, FileDialogsShowTheirColumnsWholeAndSaveAsksNoOverwriteQuestionOfItsOwn) {
    // The folder is read in the background: its `rows` are waited for.
    auto shownWhole = [](QWidget* dialog, int rows) {
        auto* view = dialog->findChild<QTreeView*>();
        const QAbstractItemView* items = view;  // QTreeView hides this measure
        QHeaderView* header = view->header();
        return QTest::qWaitFor([&] {
            bool whole = view->isVisible() && view->model()->rowCount(view->rootIndex()) >= rows;
            for (int c = 0; c < header->count(); ++c)
                whole = whole && (header->isSectionHidden(c) || header->sectionSize(c) >=
                                  std::max(items->sizeHintForColumn(c), header->sectionSizeHint(c)));
            return whole && header->length() <= view->viewport()->width();
        }, 3000) && header->count() - header->hiddenSectionCount() == 4;
    };
    const std::string table = "PRR Table 03-04-2024 .TXT";
    std::ofstream(folder + "/" + table) << "old";
    // An entry whose size, type and date run wider than the dialog's defaults.
    std::ofstream(folder + "/pressure reduction ratios of the second station.txt") << std::string(3 << 20, 'x');
    modalActions.push_back([&](QWidget* w) {
        EXPECT_TRUE(shownWhole(w, 3));
        std::ofstream(folder + "/pressure reduction ratios of the second station (2).txt") << "x";
        EXPECT_TRUE(shownWhole(w, 4));
        EXPECT_EQ(qobject_cast<QFileDialog*>(w)->nameFilters(), QStringList{QStringLiteral("All Files (*.*) (*)")});
        QMetaObject::invokeMethod(w, "accept");
    });
    auto r = ui.showSave({"All Files (*.*) |*.*", table, 0, "Enter a Pressure Reduction Ratio File name", folder});
    QTest::qWait(300);  // a box now would be a question of the dialog's own
    EXPECT_TRUE(boxes.empty() && r.confirmed);
    EXPECT_EQ(std::filesystem::path(r.fileName), std::filesystem::path(folder) / table);
    modalActions.push_back([](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
    r = ui.showOpen({"Pressure Reduction Ratio Files (*.*) |*.*", "", 1, "Select", folder});
    EXPECT_TRUE(!r.confirmed && r.fileName.empty());  // cancelled: the name it was given, none here
}

// A portable copy's table dialogs open in its own folder; an installed copy's
// in the user's documents folder (user-dirs.dirs, else ~/Documents where it
// exists), else in the home folder, never in the per-user settings folder.
// Rows: portable, the folder made in home (Papers named in
// ~/.config/user-dirs.dirs), the folder expected below home.
TEST(QtTableFolder, PortableCopyUsesItsOwnFolderAnInstalledOneTheUsersDocuments) {
    const QByteArray savedHome = qgetenv("HOME"), savedConfig = qgetenv("XDG_CONFIG_HOME");
    const bool hadConfig = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qunsetenv("XDG_CONFIG_HOME");
    QTemporaryDir base;
    const std::tuple<bool, std::string, std::string> cases[] = {{true, "Papers", "/.config/quorvel-config"},
        {false, "Papers", "/Papers"}, {false, "Documents", "/Documents"}, {false, "", ""}};
    const std::string homes = base.path().toStdString() + "/home";
    for (int row = 0; const auto& [portable, docs, expected] : cases) {
        const std::string home = homes + std::to_string(row++), own = home + "/.config/quorvel-config";
        std::filesystem::create_directories(own);
        if (docs == "Papers") std::ofstream(home + "/.config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Papers\"\n";
        if (!docs.empty()) std::filesystem::create_directory(home + "/" + docs);
        qputenv("HOME", QByteArray::fromStdString(home));
        // A folder given by name alone is a portable copy's.
        QtToolkit ui = portable ? QtToolkit(own) : QtToolkit(ProgramFolder{own, false, {}});
        EXPECT_EQ(ui.tableFolder(), home + expected) << "row " << row;
    }
    qputenv("HOME", savedHome);
    if (hadConfig) qputenv("XDG_CONFIG_HOME", savedConfig);
}

// Closing while the rows are sent (the unit starts with an empty table): a
// termination signal closes the window without a question, also while the
// user's own close question is open; Return at that question answers No, and
// the write goes on. The settings file is written whenever the window goes.
struct CloseCase { const char* name; bool userCloses; bool signalAtQuestion; bool closes; };
class CloseDuringWrite : public QtWindow, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseDuringWrite, AsksOnlyTheUserAndWritesTheSettingsWhenTheWindowGoes) {
    const CloseCase& c = GetParam();
    cfg.table.clear();
    detectUnit();
    program.closeOnTerminationSignals();
    QTimer watch;  // closes once the third row is on its way
    const std::string third = "Sending: *0100EW*0100JT003";
    watch.callOnTimeout([&] {
        if (form.Label2.caption().starts_with(third)) watch.stop(), c.userCloses ? void(window.close()) : void(::raise(SIGTERM));
    });
    watch.start(0);
    if (c.userCloses)
        modalActions.push_back([&](QWidget* question) {
            c.signalAtQuestion ? void(::raise(SIGTERM)) : QTest::keyClick(question, Qt::Key_Return);
        });
    std::string rows;
    for (int i = 1; i <= 30; ++i) rows += std::to_string(i) + " 1.5\r\n";
    sendTable("table.txt", rows);  // any other question fails the test
    EXPECT_EQ(QTest::qWaitFor([&] { return !window.isVisible(); }, 2000), c.closes);
    EXPECT_EQ(stored().table.size() < 30u, c.closes);  // the write stopped short
    std::ifstream settings(folder + "/" + SettingsFileName);
    std::string port;
    std::getline(settings, port);
    EXPECT_EQ(port, c.closes ? form.Combo1.text() + "\r" : "1\r");
}

INSTANTIATE_TEST_SUITE_P(Closing, CloseDuringWrite, ::testing::Values(
    CloseCase{"Signal", false, false, true}, CloseCase{"ReturnAtTheQuestion", true, false, false},
    CloseCase{"SignalAtTheQuestion", true, true, true}), [](const auto& info) { return std::string(info.param.name); });

// Under a locale with a decimal comma the values read with "." as their point
// and with no grouping separator, as the unit and the table files write them.
class EndToEndInLocale : public QtWindow, public ::testing::WithParamInterface<const char*> {};

TEST_P(EndToEndInLocale, DetectedValuesAreWrittenBackUnchangedAndACommaIsNoNumber) {
    QV_SET_LOCALE_OR_SKIP(GetParam());
    cfg.jc = "29.921";
    detectUnit();
    click(form.cmdWriteValues);
    EXPECT_EQ(form.Label2.caption(), "Configuration values saved successfully.");
    EXPECT_EQ(stored().jc, "29.921");
    sendTable("comma.txt", "20 1,0123\r\n");
    const SeenBox refused{" Non-numeric ratio value detected, line  1.  Transfer aborted.", "Error", {}};
    EXPECT_EQ(boxes, std::vector{refused});
}

INSTANTIATE_TEST_SUITE_P(DecimalComma, EndToEndInLocale, ::testing::Values("de_DE.UTF-8", "fr_FR.UTF-8"));

// QUORVEL_TRACE names the trace file while the program is made.
struct TraceNamedInEnvironment {
    QTemporaryDir traceDir;
    std::string traceFile = traceDir.path().toStdString() + "/wire.txt";
    const int named = ::setenv("QUORVEL_TRACE", traceFile.c_str(), 1);
    ~TraceNamedInEnvironment() { ::unsetenv("QUORVEL_TRACE"); }
};

class TracedEndToEnd : protected TraceNamedInEnvironment, public QtWindow {};

// The detection is traced; the simulated unit, linked after start-up, shows
// beside its number in the opened Port list; picked there, the number alone
// goes into the box.
TEST_F(TracedEndToEnd, DetectionIsTracedAndTheOpenPortListShowsTheUnitBesideItsNumber) {
    detectUnit();
    const std::string number = " " + std::to_string(unit->port()), com = "COM" + number.substr(1) + " ";
    std::string expected = com + "open 9600,N,8,1\n", traced, line;
    for (const char* mn : {"VR", "VR", "JH", "JP", "JC"}) expected += com + "sent *0100" + mn + "\\r\\n\n";
    // After its time each line names the port and the event; the replies are left out.
    for (std::ifstream in(traceFile); std::getline(in, line);)
        if (line.find(" recv ") == line.npos) traced += line.substr(std::min<size_t>(24, line.size())) + "\n";
    EXPECT_EQ(traced, expected + com + "close\n");

    form.Combo1.setText(" 98");
    auto* box = widget<QComboBox>(form.Combo1);
    box->showPopup();
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 2000));
    const QModelIndex row = list->model()->index(box->findText(QString::fromStdString(number)), 0);
    const QString shown = MainWindow::popupRowText(row);
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(number)));  // padded to the longest number
    EXPECT_TRUE(shown.endsWith(QString::fromStdString("   " + com + "\u2192 " + unit->slavePath())));
    // Rows are drawn with their details, and the open list is wide enough for them.
    EXPECT_GE(list->viewport()->width(), QFontMetrics(list->font()).horizontalAdvance(shown));
    list->scrollTo(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    EXPECT_EQ(box->currentText().toStdString(), number);
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
