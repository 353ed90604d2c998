// The whole program end to end: the real window and toolkit on Qt, the POSIX
// serial port, and a simulated unit on a pseudo terminal in a folder of its
// own. The tests click the window's buttons, type into its boxes, answer its
// message boxes and file dialogs, and read what the widgets show.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <clocale>
#include <csignal>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/program.h"
#include "sim/pty_unit.h"
#include "support/locale.h"

namespace qv {
namespace {

struct SeenBox {
    std::string text;
    std::string title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool operator==(const SeenBox&) const = default;
};

std::ostream& operator<<(std::ostream& out, const SeenBox& b) {
    return out << "{\"" << b.text << "\", \"" << b.title << "\", icon " << static_cast<int>(b.icon) << "}";
}

// Stands in for the user at every modal window the program opens: a message
// box is recorded and answered with OK, a file dialog gets the next scripted
// file name and is accepted. A question (Yes/No) or a dialog nobody scripted
// fails the test and is declined.
class ModalAnswerer {
public:
    ModalAnswerer() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start(10);
    }

    void chooseFileNext(const std::string& path) { files_.push_back(path); }

    std::vector<SeenBox> boxes;
    std::vector<std::string> dialogTitles;

private:
    void answer() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back({box->text().toStdString(), box->windowTitle().toStdString(), box->icon()});
            if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
                ok->click();
            } else {
                ADD_FAILURE() << "unexpected question " << boxes.back();
                box->button(QMessageBox::No)->click();
            }
        } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
            dialogTitles.push_back(dialog->windowTitle().toStdString());
            if (files_.empty()) {
                ADD_FAILURE() << "unexpected file dialog " << dialogTitles.back();
                dialog->reject();
                return;
            }
            dialog->selectFile(QString::fromStdString(files_.front()));
            files_.pop_front();
            QMetaObject::invokeMethod(dialog, "accept");
        }
    }

    QTimer timer_;
    std::deque<std::string> files_;
};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        // Line 5 other than "0" shows the "Barometric Mode" frame.
        std::ofstream(settingsFile(), std::ios::binary) << "1\r\n9600\r\n01\r\n\r\n1\r\n";
        ASSERT_TRUE(program.form.Form_Load());
        program.window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&program.window));
    }
    // The file dialogs move the process into the chosen file's folder.
    void TearDown() override { std::filesystem::current_path(startFolder); }

    // A fast (unpaced) unit, and the Communications boxes picked to reach it.
    void startUnit(sim::UnitConfig cfg) {
        cfg.paced = false;
        unit = std::make_unique<sim::PtyUnit>(folder, cfg);
        choose(form.Combo1, " " + std::to_string(unit->port()));
        choose(form.Combo2, "9600");
        choose(form.Combo3, cfg.id);
    }
    sim::UnitConfig stored() {
        sim::UnitConfig cfg;
        unit->withModel([&](sim::UnitModel& m) { cfg = m.config(); });
        return cfg;
    }

    template <class W>
    W* widget(const Control& c) {
        auto* w = qobject_cast<W*>(program.window.widgetFor(c));
        EXPECT_NE(w, nullptr) << c.name();
        return w;
    }
    // A click on a button or option the user can reach; returns when the
    // operation it started has ended.
    template <class W = QPushButton>
    void click(const Control& c) {
        W* w = widget<W>(c);
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(w->isVisible() && w->isEnabled()) << c.name() << " cannot be clicked";
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
    void type(const TextBox& c, const QString& keys) {
        auto* w = widget<QLineEdit>(c);
        w->setFocus();
        w->selectAll();
        QTest::keyClicks(w, keys);
    }
    std::string text(const TextBox& c) { return widget<QLineEdit>(c)->text().toStdString(); }
    std::string text(const ComboBox& c) { return widget<QComboBox>(c)->currentText().toStdString(); }
    std::string status() { return widget<QLabel>(form.Label2)->text().toStdString(); }
    std::vector<std::string> rows(const ListBox& c) {
        std::vector<std::string> out;
        auto* w = widget<QListWidget>(c);
        for (int i = 0; i < w->count(); ++i) out.push_back(w->item(i)->text().toStdString());
        return out;
    }

    std::string settingsFile() const { return folder + "/" + SettingsFileName; }

    void detect() {
        click(form.cmdDetectZov);
        ASSERT_EQ(status(), "Unit detected!");
    }

    std::filesystem::path startFolder = std::filesystem::current_path();
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString();
    Program program{folder};
    MainForm& form = program.form;
    std::unique_ptr<sim::PtyUnit> unit;
    ModalAnswerer modals;
};

const SeenBox TransferComplete{"           Transfer Complete.                           ", "Information",
                               QMessageBox::Information};

TEST_F(EndToEnd, DetectUnitFillsTheConfigurationBoxes) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.jh = "31";
    cfg.jp = "2";
    cfg.jc = "29.921";
    startUnit(cfg);
    EXPECT_FALSE(widget<QPushButton>(form.cmdReadCurrentValues)->isEnabled());

    detect();
    EXPECT_EQ(text(form.txt12HourTemp), "31");
    EXPECT_EQ(text(form.cboTableTempUnit), "    \u00b0R");
    EXPECT_EQ(text(form.txtPressureReductionConstant), "29.921");
    EXPECT_TRUE(modals.boxes.empty()) << modals.boxes.front();
    EXPECT_TRUE(widget<QPushButton>(form.cmdReadCurrentValues)->isEnabled());
    EXPECT_TRUE(widget<QPushButton>(form.Command4)->isEnabled());
}

TEST_F(EndToEnd, ConfigurationValuesTypedAreSavedAndReadBack) {
    startUnit(sim::defaultConfig());
    detect();

    type(form.txt12HourTemp, "12");
    type(form.txtPressureReductionConstant, "30.05");
    choose(form.cboTableTempUnit, "    \u00b0R");
    click(form.cmdWriteValues);
    EXPECT_TRUE(modals.boxes.empty()) << modals.boxes.front();
    EXPECT_EQ(status(), "Configuration values saved successfully.");
    EXPECT_EQ(stored().jh, "12");
    EXPECT_EQ(stored().jp, "2");
    EXPECT_EQ(stored().jc, "30.05");
    EXPECT_EQ(text(form.txt12HourTemp), " 12");

    // Values changed at the unit show after a read.
    unit->withModel([](sim::UnitModel& m) {
        m.config().jh = "-7";
        m.config().jp = "0";
        m.config().jc = "28.5";
    });
    click(form.cmdReadCurrentValues);
    EXPECT_TRUE(modals.boxes.empty()) << modals.boxes.front();
    EXPECT_EQ(status(), "Configuration values read successfully.");
    EXPECT_EQ(text(form.txt12HourTemp), "-7");
    EXPECT_EQ(text(form.cboTableTempUnit), "    \u00b0C");
    EXPECT_EQ(text(form.txtPressureReductionConstant), "28.5");
}

TEST_F(EndToEnd, TableFromUnitIsShownAndSavedToAFile) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.table = {{"-40", "0.9876"}, {"5", "1.0000"}, {"20", "1.0123"}};
    startUnit(cfg);
    detect();

    click(form.Command4);
    EXPECT_EQ(modals.boxes, std::vector<SeenBox>{TransferComplete});
    EXPECT_EQ(status(), "Table transferred successfully from unit.");
    const std::vector<std::string> expected{"-40  .9876", " 5  1", " 20  1.0123"};
    EXPECT_EQ(rows(form.List2), expected);

    const std::string path = folder + "/from unit.txt";
    modals.chooseFileNext(path);
    click(form.Command2);
    EXPECT_EQ(modals.dialogTitles, std::vector<std::string>{"Enter a Pressure Reduction Ratio File name"});
    EXPECT_EQ(modals.boxes.size(), 1u);  // no replace question for a new file
    EXPECT_EQ(status(), "File save successful.");

    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = content.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(content.substr(start, end - start));
    ASSERT_EQ(lines.size(), 9u) << content;
    EXPECT_EQ(content.substr(content.size() - 2), "\r\n");
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4),
              (std::vector<std::string>{"*", "* KELMORADYNIQUE, INC.", "*", "* Pressure Reduction Table"}));
    EXPECT_EQ(lines[4].rfind("* as of ", 0), 0u) << lines[4];
    EXPECT_EQ(lines[4].size(), 27u) << lines[4];
    EXPECT_EQ(lines[5], "*");
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()), expected);
}

TEST_F(EndToEnd, TableFileIsLoadedAndWrittenToTheUnit) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.table.clear();
    cfg.pb = "0";
    startUnit(cfg);
    detect();

    const std::string path = folder + "/table.txt";
    { std::ofstream(path, std::ios::binary) << "*\r\n* test table\r\n-30 0.9911\r\n0   1.0000\r\n25 1.0155\r\n"; }
    modals.chooseFileNext(path);
    click(form.Command7);
    EXPECT_EQ(modals.dialogTitles, std::vector<std::string>{"Select a valid Pressure Reduction Ratio File name"});
    EXPECT_EQ(text(form.Text1), "table.txt");
    click(form.Command10);
    EXPECT_EQ(status(), "File read successful...");
    EXPECT_EQ(rows(form.List1), (std::vector<std::string>{"-30 0.9911", "0   1.0000", "25 1.0155"}));

    click<QRadioButton>(form.Option4_0);
    click(form.Command12);
    EXPECT_EQ(status(), "Barometric Mode OK");
    EXPECT_EQ(stored().pb, "1");

    click(form.Command1);
    EXPECT_EQ(modals.boxes, std::vector<SeenBox>{TransferComplete});
    EXPECT_EQ(status(), "Table successfully transferred to unit...");
    EXPECT_EQ(stored().table, (std::vector<sim::TableLine>{{"-30", ".9911"}, {"0", "1"}, {"25", "1.0155"}}));
}

TEST_F(EndToEnd, TerminationSignalDuringATableWriteClosesWithoutAskingAndSavesTheSettings) {
    sim::UnitConfig cfg = sim::defaultConfig();
    cfg.table.clear();
    startUnit(cfg);
    detect();
    std::string table;
    for (int i = 1; i <= 30; ++i) table += std::to_string(i) + " 1.5\r\n";
    const std::string path = folder + "/table.txt";
    std::ofstream(path, std::ios::binary) << table;
    type(form.Text1, QString::fromStdString(path));
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
    click(form.Command1);  // the ModalAnswerer fails the test on any question
    EXPECT_TRUE(QTest::qWaitFor([&] { return !program.window.isVisible(); }, 2000));
    EXPECT_TRUE(form.closing());
    EXPECT_LT(stored().table.size(), 30u);
    std::ifstream in(settingsFile());
    std::string port;
    std::getline(in, port);
    EXPECT_EQ(port, " " + std::to_string(unit->port()) + "\r");
}

// The simulated unit, linked after start-up, shows beside its number in the
// opened Port list; picked there, the number alone goes into the box, the
// link and the settings file.
TEST_F(EndToEnd, OpenPortListShowsTheUnitBesideItsNumberAndPickingItKeepsThePlainNumber) {
    startUnit(sim::defaultConfig());
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
    detect();
    program.window.close();
    std::ifstream in(settingsFile());
    std::string port;
    std::getline(in, port);
    EXPECT_EQ(port, number + "\r");
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
    startUnit(cfg);
    detect();
    click(form.cmdWriteValues);
    EXPECT_TRUE(modals.boxes.empty()) << modals.boxes.front();
    EXPECT_EQ(status(), "Configuration values saved successfully.");
    EXPECT_EQ(stored().jc, "29.921");

    const std::string path = folder + "/comma.txt";
    { std::ofstream(path, std::ios::binary) << "20 1,0123\r\n"; }
    type(form.Text1, QString::fromStdString(path));
    click(form.Command10);
    click(form.Command1);
    const SeenBox nonNumeric{" Non-numeric ratio value detected, line  1.  Transfer aborted.", "Error"};
    EXPECT_EQ(modals.boxes, std::vector<SeenBox>{nonNumeric});
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
    startUnit(sim::defaultConfig());
    detect();
    std::ifstream in(traceFile);
    std::vector<std::string> events;
    for (std::string line; std::getline(in, line);) events.push_back(line.size() > 24 ? line.substr(24) : line);
    const std::string com = "COM" + std::to_string(unit->port()) + " ";
    std::vector<std::string> expected{com + "open 9600,N,8,1"};
    for (const char* mn : {"VR", "VR", "JH", "JP", "JC"})
        expected.push_back(com + "sent *0100" + mn + "\\r\\n");
    EXPECT_EQ(events.size(), 12u);
    std::vector<std::string> sent;
    for (const std::string& e : events)
        if (e.find(" sent ") != std::string::npos || e.find(" open ") != std::string::npos) sent.push_back(e);
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(events.back(), com + "close");
}

}  // namespace
}  // namespace qv
