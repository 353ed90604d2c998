#include "platform/qt/qt_toolkit.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <memory>

#include "platform/qt/main_window.h"

namespace qv {

namespace {

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string toUtf8(const QString& s) { return s.toUtf8().toStdString(); }

QMessageBox::Icon qtIcon(Icon icon) {
    switch (icon) {
        case Icon::Exclamation: return QMessageBox::Warning;
        case Icon::Stop: return QMessageBox::Critical;
        case Icon::Information: return QMessageBox::Information;
        case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Qt's own file dialog opens too small for its detail view: the name, size,
// type and date columns come cut. It opens at this size instead (within the
// screen), and each column is sized to its contents whenever the folder's
// entries arrive (they are read in the background); the dialog grows wider
// when the columns need more room than its list has.
const QSize FileDialogSize(860, 500);

void showDetailsWhole(QFileDialog& dialog) {
    QScreen* screen = dialog.parentWidget() ? dialog.parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QSize room = screen ? screen->availableGeometry().size() : FileDialogSize;
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(FileDialogSize.boundedTo(room));

    auto* view = dialog.findChild<QTreeView*>();
    if (!view || !view->model()) return;
    auto pending = std::make_shared<bool>(false);
    auto fit = [&dialog, view, room, pending] {
        *pending = false;
        QHeaderView* header = view->header();
        int total = 0;
        for (int column = 0; column < header->count(); ++column) {
            if (header->isSectionHidden(column)) continue;
            // (QTreeView hides the measure that every item view offers.)
            const int contents = static_cast<const QAbstractItemView*>(view)->sizeHintForColumn(column);
            const int needed = std::max(contents, header->sectionSizeHint(column));
            if (header->sectionSize(column) != needed) header->resizeSection(column, needed);
            total += needed;
        }
        const int missing = total - view->viewport()->width();
        if (missing > 0 && dialog.width() < room.width())
            dialog.resize(std::min(dialog.width() + missing, room.width()), dialog.height());
    };
    auto refit = [view, fit, pending] {
        if (*pending) return;
        *pending = true;
        QTimer::singleShot(0, view, fit);
    };
    QAbstractItemModel* model = view->model();
    QObject::connect(model, &QAbstractItemModel::rowsInserted, view, refit);
    QObject::connect(model, &QAbstractItemModel::dataChanged, view, refit);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, view, refit);
    QObject::connect(model, &QAbstractItemModel::modelReset, view, refit);
    refit();
}

}  // namespace

QStringList qtNameFilters(const std::string& filter) {
    QStringList parts = fromUtf8(filter).split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QString pattern = p.trimmed();
            if (pattern == QLatin1String("*.*")) pattern = QStringLiteral("*");
            if (!pattern.isEmpty()) patterns << pattern;
        }
        if (patterns.isEmpty()) patterns << QStringLiteral("*");
        // The dialog hides the trailing pattern list, so the description shows
        // exactly as written.
        result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    if (result.isEmpty()) result << QStringLiteral("(*)");
    return result;
}

QWidget* QtToolkit::parentWidget() const { return window_; }

Answer QtToolkit::messageBox(const std::string& text, const std::string& title, Buttons buttons, Icon icon,
                             Answer defaultAnswer) {
    QMessageBox box(qtIcon(icon), fromUtf8(title), fromUtf8(text),
                    buttons == Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    parentWidget());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    if (buttons == Buttons::YesNo) {
        box.setDefaultButton(defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setEscapeButton(QMessageBox::Ok);
    }
    int result = box.exec();
    if (buttons == Buttons::YesNo) return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
    return Answer::OK;
}

void QtToolkit::beep() {
    ++beeps_;
    QApplication::beep();
}

void QtToolkit::doEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void QtToolkit::setFocus(Control& control) {
    if (!window_) return;
    if (QWidget* w = window_->widgetFor(control)) w->setFocus(Qt::OtherFocusReason);
}

Control* QtToolkit::focus() const {
    if (!window_) return nullptr;
    return window_->controlFor(QApplication::focusWidget());
}

std::string QtToolkit::tableFolder() {
    if (folder_.portable) return folder_.path;
    // Qt reads XDG_DOCUMENTS_DIR from user-dirs.dirs and otherwise proposes
    // ~/Documents, which need not exist.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return toUtf8(documents);
    return toUtf8(QDir::homePath());
}

FileDialogResult QtToolkit::runDialog(bool save, const FileDialogSettings& settings) {
    QFileDialog dialog(parentWidget(), fromUtf8(settings.title), fromUtf8(settings.initialDir));
    // Qt's own dialog works on every platform plugin, including the offscreen
    // one of the tests; the program asks its own replace questions.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // A name that does not exist yet may be typed in the open dialog too; the
    // load reports a missing file itself.
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters = qtNameFilters(settings.filter);
    dialog.setNameFilters(filters);
    int index = settings.filterIndex < 1 ? 1 : settings.filterIndex;
    if (index > filters.size()) index = static_cast<int>(filters.size());
    dialog.selectNameFilter(filters[index - 1]);
    if (!settings.fileName.empty()) dialog.selectFile(fromUtf8(settings.fileName));
    showDetailsWhole(dialog);

    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return {true, toUtf8(dialog.selectedFiles().front()), 1};
    return {false, settings.fileName, settings.filterIndex};
}

FileDialogResult QtToolkit::openDialog(const FileDialogSettings& settings) { return runDialog(false, settings); }

FileDialogResult QtToolkit::saveDialog(const FileDialogSettings& settings) { return runDialog(true, settings); }

}  // namespace qv
