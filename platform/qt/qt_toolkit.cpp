#include "platform/qt/qt_toolkit.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

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

Answer QtToolkit::messageBox(const std::string& text, const std::string& title, Buttons buttons,
                             Icon icon) {
    QMessageBox box(qtIcon(icon), fromUtf8(title), fromUtf8(text),
                    buttons == Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    parentWidget());
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    if (buttons == Buttons::YesNo) {
        box.setDefaultButton(QMessageBox::Yes);
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

std::string QtToolkit::programFolder() { return folder_.empty() ? executableFolder() : folder_; }

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

    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        return {true, toUtf8(dialog.selectedFiles().front()), 1};
    return {false, settings.fileName, settings.filterIndex};
}

FileDialogResult QtToolkit::openDialog(const FileDialogSettings& settings) { return runDialog(false, settings); }

FileDialogResult QtToolkit::saveDialog(const FileDialogSettings& settings) { return runDialog(true, settings); }

}  // namespace qv
