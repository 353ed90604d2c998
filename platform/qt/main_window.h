// The real window: one fixed-size top-level widget that mirrors the controls
// of a form into Qt widgets and hands the user's clicks and keys back to the
// model controls.
#pragma once

#include <QElapsedTimer>
#include <QWidget>

#include <unordered_map>
#include <vector>

#include "platform/termination_signals.h"
#include "platform/window_model.h"

class QButtonGroup;
class QComboBox;
class QModelIndex;
class QSocketNotifier;

namespace qv {

class MainWindow : public QWidget, public ControlObserver {
    Q_OBJECT

public:
    // The captions are set in `fontFamily`, by default the desktop's sans
    // serif (Liberation Sans where installed); each is fitted to its control.
    explicit MainWindow(WindowModel& form, const QString& fontFamily = {});
    ~MainWindow() override;

    // The widget that shows a control (nullptr for a control not shown here).
    QWidget* widgetFor(const Control& control) const;
    // The control a widget (or one of its inner widgets) belongs to.
    Control* controlFor(const QWidget* widget) const;

    // Places the window in the middle of its screen.
    void centreOnScreen();

    // Closes the window as the system does when the session ends: any dialog
    // still open is dismissed and nobody is asked anything.
    void closeWithoutAsking();
    // From now on a termination signal closes the window without asking.
    void closeOnSignals(TerminationSignals& notices);

    void controlChanged(Control& control) override;

    // Shows the default button as such while the form names it.
    void refreshDefaultButton();

    // The text a row of an open drop-down list shows: its item, and beside it
    // the item's detail where it has one. The box shows the item alone.
    static QString popupRowText(const QModelIndex& index);

signals:
    // Emitted once, after the window was painted for the first time.
    void firstPainted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The design's inner size, which the window keeps.
    QSize clientSize() const;
    QWidget* createWidget(Control& control, QWidget* parent);
    // Makes a caption show whole in its control with the window's font.
    void fitCaptionOf(QWidget* widget);
    void sync(Control& control);
    void syncOptionArray(OptionArray& array);
    // Gives the rows of an open drop-down list the details of their items.
    void syncDetails(const ComboBox& combo, QComboBox& widget);
    // Runs a user action on the model; an error that escapes the handlers is
    // shown instead of being thrown through the event loop.
    void guarded(const std::function<void()>& action);
    // The key rule of text and drop-down boxes; true when the event is eaten.
    bool filterTypedKey(Control& control, QKeyEvent* key);
    // Enter in a control that does not take Enter: the default button's click.
    bool clickDefaultButton();
    // Gives the focus to the usable control first in the tab order.
    void focusFirstControl();
    // The option array an option button belongs to.
    OptionArray* arrayOf(const OptionButton& option) const;

    WindowModel& form_;
    const QString fontFamily_;
    std::unordered_map<const Control*, QWidget*> widgets_;
    std::unordered_map<const QWidget*, Control*> owners_;
    std::unordered_map<const OptionArray*, QButtonGroup*> groups_;
    std::vector<Control*> tabOrder_;
    Button* shownDefault_ = nullptr;
    bool painted_ = false;
    // The window is drawn at most once a frame: handlers that change it on
    // every event pass (a long list filling row by row) would otherwise spend
    // their time drawing states nobody could see.
    static constexpr int FrameMs = 16;
    QElapsedTimer lastDrawn_;
    bool drawPending_ = false;
    bool restoringSize_ = false;
    bool focusSet_ = false;
    bool forcedClose_ = false;
    QSocketNotifier* signalNotifier_ = nullptr;
};

}  // namespace qv
