#include "platform/qt/main_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace qv {

namespace {

QString fromUtf8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

std::string toUtf8(const QString& s) { return s.toUtf8().toStdString(); }


// The design's MS Sans Serif maps onto Liberation Sans (metric-compatible
// with Arial, close to it in width); the desktop's default sans where it is
// missing.
QString desktopFontFamily() {
    static const QString family = [] {
        const QString wanted = QStringLiteral("Liberation Sans");
        if (QFontDatabase::families().contains(wanted)) return wanted;
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    return family;
}

// Point size 0 is the window's default font: 8.25 pt regular. The stretch is
// set too, so a control never takes over a narrowed font from its frame.
QFont fontFor(const QString& family, const FontSpec& design) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    bool isDefault = design.points <= 0;
    font.setPointSizeF(isDefault ? 8.25 : design.points);
    font.setBold(!isDefault && design.bold);
    font.setStretch(QFont::Unstretched);
    return font;
}

// A 16 x 16 barometer dial: a round face with ticks and a needle.
QIcon dialIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 70), 1.2));
    p.setBrush(QColor(250, 246, 230));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(QColor(40, 40, 40), 1.0));
    const QPointF centre(8, 8);
    for (int i = 0; i <= 6; ++i) {
        // Ticks from 225 degrees (lower left) round to -45 degrees (lower right).
        double a = (225.0 - i * 45.0) * std::numbers::pi / 180.0;
        QPointF dir(std::cos(a), -std::sin(a));
        p.drawLine(centre + dir * 4.6, centre + dir * 6.0);
    }
    double needle = 60.0 * std::numbers::pi / 180.0;
    p.setPen(QPen(QColor(190, 20, 20), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(std::cos(needle), -std::sin(needle)) * 5.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(centre, 1.3, 1.3);
    p.end();
    return QIcon(pixmap);
}

// Whether a caption set in a font shows whole in its place.
using CaptionFits = std::function<bool(const QFont&)>;

// The captions were laid out for a font narrower than most a desktop has. A
// caption that does not show whole is narrowed (down to 85 %) and, where that
// is not enough, set a quarter point smaller at a time, so that it never wraps
// into a line it has no room for nor runs past its control's edge. The
// largest size that fits wins, at the least narrowing it needs.
void fitCaption(QWidget* widget, const CaptionFits& fits) {
    const QFont design = widget->font();
    if (fits(design)) return;
    constexpr int NarrowestStretch = 85;
    constexpr double SmallestPoints = 5.0;
    QFont font = design;
    for (double points = design.pointSizeF(); points >= SmallestPoints; points -= 0.25) {
        font.setPointSizeF(points);
        for (int stretch = QFont::Unstretched; stretch >= NarrowestStretch; --stretch) {
            font.setStretch(stretch);
            if (fits(font)) {
                widget->setFont(font);
                return;
            }
        }
    }
    widget->setFont(font);  // the smallest, narrowest try: as much as can be shown
}

// Text drawn into `area` with `flags` stays inside it.
bool textFits(const QFont& font, const QRect& area, int flags, const QString& text) {
    QRect needed = QFontMetrics(font).boundingRect(area, flags, text);
    return needed.width() <= area.width() && needed.height() <= area.height();
}

// The status line and the progress bar keep their look while their frame is
// disabled during an operation (the frame still takes no input): the colours
// a disabled widget is drawn with are those of the enabled one.
void keepLookWhenDisabled(QWidget* widget) {
    QPalette palette = widget->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto r = static_cast<QPalette::ColorRole>(role);
        palette.setBrush(QPalette::Disabled, r, palette.brush(QPalette::Active, r));
    }
    widget->setPalette(palette);
}

bool isEnter(const QKeyEvent* key) { return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter; }

// Where a drop-down row keeps the text its open list shows when the item has
// a detail: the item, padded so the details form one column, and the detail.
constexpr int PopupRowTextRole = Qt::UserRole + 1;

// Draws each row of an open drop-down list with its popup text.
class PopupRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = MainWindow::popupRowText(index);
    }
};

// A drop-down box that says when its list is about to open, so the list can be
// brought up to date first, and opens it wide enough for every row to show
// whole (the box itself may be far narrower than the rows' details).
class DropDownBox : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> beforeListOpens;

    void showPopup() override {
        if (beforeListOpens) beforeListOpens();
        QAbstractItemView* list = view();
        const int rows = list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                         2 * list->frameWidth();
        list->setMinimumWidth(std::max(rows, width()));
        QComboBox::showPopup();
    }
};

// A push button whose caption wraps onto more lines when it is too long for
// one, as the captions of the design expect; blanks are kept as they stand.
class WrappingButton : public QPushButton {
public:
    WrappingButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

    static constexpr int CaptionFlags = Qt::AlignCenter | Qt::TextWordWrap;

    // Where the caption is drawn (when the button is not pressed).
    QRect captionArea() const {
        QStyleOptionButton option;
        initStyleOption(&option);
        return style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        if (option.state & (QStyle::State_Sunken | QStyle::State_On))
            area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
        style()->drawItemText(&painter, area, CaptionFlags, option.palette,
                              isEnabled(), caption, QPalette::ButtonText);
    }
};

// A frame drawn as the design's toolkit draws one: an etched border whose top
// runs through the middle of the caption, the caption on the window colour.
class ClassicFrame : public QGroupBox {
public:
    ClassicFrame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {
        // A frame is opaque: one that lies over another hides what is below.
        setAutoFillBackground(true);
    }

    // The caption starts TitleLeft pixels in and must end before the border's
    // right edge.
    static constexpr int TitleLeft = 7;
    bool titleFits(const QFont& font) const {
        return TitleLeft + QFontMetrics(font).horizontalAdvance(title()) + 2 <= width() - 2;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QFontMetrics metrics(font());
        const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
        const int top = metrics.height() / 2;
        QRect border = rect().adjusted(0, top, -2, -2);
        p.setPen(palette().color(group, QPalette::Mid));
        p.drawRect(border);
        p.setPen(palette().color(group, QPalette::Light));
        p.drawRect(border.translated(1, 1));
        if (title().isEmpty()) return;
        QRect text(TitleLeft, 0, metrics.horizontalAdvance(title()) + 2, metrics.height());
        p.fillRect(text, palette().color(group, QPalette::Window));
        p.setPen(palette().color(group, QPalette::WindowText));
        p.drawText(text.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, title());
    }
};

}  // namespace

MainWindow::MainWindow(WindowModel& form, const QString& fontFamily)
    : QWidget(nullptr), form_(form), fontFamily_(fontFamily.isEmpty() ? desktopFontFamily() : fontFamily) {
    setWindowTitle(fromUtf8(form_.windowCaption()));
    setWindowIcon(dialIcon());
    setFont(fontFor(fontFamily_, {}));
    setFixedSize(clientSize());

    for (Control* control : form_.controls()) {
        QWidget* parent = this;
        if (control->parent()) {
            auto it = widgets_.find(control->parent());
            if (it != widgets_.end()) parent = it->second;
        }
        QWidget* w = createWidget(*control, parent);
        widgets_[control] = w;
        owners_[w] = control;
        control->setObserver(this);
    }
    for (Control* control : form_.controls()) sync(*control);
    for (Control* control : form_.controls())
        if (QWidget* w = widgetFor(*control); w && control->keepsLookWhenDisabled) keepLookWhenDisabled(w);

    // Keyboard order follows the design's tab indexes.
    std::vector<Control*> order = form_.controls();
    std::stable_sort(order.begin(), order.end(),
                     [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(widgets_[order[i - 1]], widgets_[order[i]]);
    tabOrder_ = order;

    refreshDefaultButton();
}

MainWindow::~MainWindow() {
    for (Control* control : form_.controls()) control->setObserver(nullptr);
    form_.setDeferredClose(nullptr);
}

QWidget* MainWindow::createWidget(Control& control, QWidget* parent) {
    QWidget* widget = nullptr;
    if (auto* frame = dynamic_cast<Frame*>(&control)) {
        widget = new ClassicFrame(fromUtf8(frame->caption()), parent);
    } else if (auto* button = dynamic_cast<Button*>(&control)) {
        auto* w = new WrappingButton(fromUtf8(button->caption()), parent);
        w->setAutoDefault(false);
        connect(w, &QPushButton::clicked, this, [this, button] {
            guarded([button] { button->press(); });
            refreshDefaultButton();
        });
        w->installEventFilter(this);
        widget = w;
    } else if (auto* text = dynamic_cast<TextBox*>(&control)) {
        auto* w = new QLineEdit(parent);
        connect(w, &QLineEdit::textEdited, this,
                [text](const QString& value) { text->setText(toUtf8(value)); });
        w->installEventFilter(this);
        widget = w;
    } else if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
        auto* w = new DropDownBox(parent);
        w->setItemDelegate(new PopupRowDelegate(w));
        w->beforeListOpens = [this, combo] { guarded([combo] { combo->dropDown(); }); };
        w->setEditable(true);
        w->setInsertPolicy(QComboBox::NoInsert);
        w->setCompleter(nullptr);
        w->setMaxVisibleItems(8);
        connect(w, &QComboBox::activated, this, [this, combo](int index) {
            guarded([combo, index] { combo->pick(index); });
            sync(*combo);
        });
        connect(w->lineEdit(), &QLineEdit::textEdited, this,
                [combo](const QString& value) { combo->setText(toUtf8(value)); });
        // The line edit forwards focus to the combo, so its keys arrive here.
        w->installEventFilter(this);
        widget = w;
    } else if (dynamic_cast<ListBox*>(&control)) {
        auto* w = new QListWidget(parent);
        // A list lays out all its rows again after every insertion. Rows are
        // one line of text in one font, so they need not be measured one by
        // one; and laid out in batches, a list that grows by a row on every
        // event pass lays out its first batch (what shows) on each pass and
        // the rest once it stops growing.
        w->setUniformItemSizes(true);
        w->setLayoutMode(QListView::Batched);
        w->installEventFilter(this);
        widget = w;
    } else if (auto* label = dynamic_cast<Label*>(&control)) {
        auto* w = new QLabel(fromUtf8(label->caption()), parent);
        w->setTextFormat(Qt::PlainText);
        w->setWordWrap(true);
        w->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QPalette palette = w->palette();
        QColor colour(label->foreColor.red, label->foreColor.green, label->foreColor.blue);
        palette.setColor(QPalette::Active, QPalette::WindowText, colour);
        palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
        w->setPalette(palette);
        widget = w;
    } else if (dynamic_cast<ProgressBar*>(&control)) {
        auto* w = new QProgressBar(parent);
        w->setTextVisible(false);
        widget = w;
    } else if (auto* option = dynamic_cast<OptionButton*>(&control)) {
        auto* w = new QRadioButton(fromUtf8(option->caption()), parent);
        QButtonGroup*& group = groups_[arrayOf(*option)];
        if (!group) group = new QButtonGroup(this);
        group->addButton(w, option->index());
        connect(w, &QRadioButton::clicked, this, [this, option] {
            guarded([option] { option->press(); });
            if (OptionArray* array = arrayOf(*option)) syncOptionArray(*array);
            refreshDefaultButton();
        });
        w->installEventFilter(this);
        widget = w;
    } else {
        widget = new QWidget(parent);
    }
    widget->setObjectName(fromUtf8(control.name()));
    widget->setFont(fontFor(fontFamily_, control.font));
    widget->setGeometry(control.rect.left, control.rect.top, control.rect.width, control.rect.height);
    fitCaptionOf(widget);
    return widget;
}

void MainWindow::fitCaptionOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->text().isEmpty()) return;
        fitCaption(label, [label](const QFont& font) {
            return textFits(font, label->contentsRect(), static_cast<int>(label->alignment()) | Qt::TextWordWrap,
                            label->text());
        });
    } else if (auto* button = dynamic_cast<WrappingButton*>(widget)) {
        fitCaption(button, [button](const QFont& font) {
            return textFits(font, button->captionArea(), WrappingButton::CaptionFlags, button->text());
        });
    } else if (auto* frame = dynamic_cast<ClassicFrame*>(widget)) {
        fitCaption(frame, [frame](const QFont& font) { return frame->titleFits(font); });
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        fitCaption(option, [option](const QFont& font) {
            QStyleOptionButton style;
            style.initFrom(option);
            style.text = option->text();
            QRect area = option->style()->subElementRect(QStyle::SE_RadioButtonContents, &style, option);
            return textFits(font, area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, option->text());
        });
    }
}

QWidget* MainWindow::widgetFor(const Control& control) const {
    auto it = widgets_.find(&control);
    return it == widgets_.end() ? nullptr : it->second;
}

Control* MainWindow::controlFor(const QWidget* widget) const {
    for (const QWidget* w = widget; w && w != this; w = w->parentWidget()) {
        auto it = owners_.find(w);
        if (it != owners_.end()) return it->second;
    }
    return nullptr;
}

void MainWindow::controlChanged(Control& control) {
    sync(control);
    refreshDefaultButton();
}

void MainWindow::refreshDefaultButton() {
    Button* wanted = form_.currentDefaultButton();
    if (wanted == shownDefault_) return;
    if (auto* old = qobject_cast<QPushButton*>(shownDefault_ ? widgetFor(*shownDefault_) : nullptr))
        old->setDefault(false);
    if (auto* now = qobject_cast<QPushButton*>(wanted ? widgetFor(*wanted) : nullptr)) now->setDefault(true);
    shownDefault_ = wanted;
}

void MainWindow::syncOptionArray(OptionArray& array) {
    auto it = groups_.find(&array);
    if (it == groups_.end()) return;
    QButtonGroup* group = it->second;
    // An exclusive group cannot show "none selected"; lift it while setting.
    group->setExclusive(false);
    for (OptionButton* option : array.buttons()) {
        if (!option) continue;
        if (auto* w = qobject_cast<QRadioButton*>(widgetFor(*option))) {
            QSignalBlocker block(w);
            w->setChecked(option->value());
        }
    }
    group->setExclusive(true);
}

namespace {

// Brings a drop-down list's rows in line with the model's items, appending
// when only new rows were added.
template <class AddRow, class RowText, class Clear>
void syncRows(const std::vector<std::string>& items, int count, RowText rowText, AddRow addRow, Clear clear) {
    bool prefix = count <= static_cast<int>(items.size());
    for (int i = 0; prefix && i < count; ++i)
        if (rowText(i) != fromUtf8(items[static_cast<size_t>(i)])) prefix = false;
    if (!prefix) {
        clear();
        count = 0;
    }
    for (size_t i = static_cast<size_t>(count); i < items.size(); ++i) addRow(fromUtf8(items[i]));
}

}  // namespace

void MainWindow::sync(Control& control) {
    QWidget* widget = widgetFor(control);
    if (!widget) return;
    QSignalBlocker block(widget);
    widget->setEnabled(control.enabled());
    widget->setVisible(control.visible());

    if (auto* text = dynamic_cast<TextBox*>(&control)) {
        auto* w = static_cast<QLineEdit*>(widget);
        QString value = fromUtf8(text->text());
        if (w->text() != value) w->setText(value);
    } else if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
        auto* w = static_cast<QComboBox*>(widget);
        QSignalBlocker blockEdit(w->lineEdit());
        syncRows(
            combo->items(), w->count(), [w](int i) { return w->itemText(i); },
            [w](const QString& row) { w->addItem(row); }, [w] { w->clear(); });
        syncDetails(*combo, *w);
        if (w->currentIndex() != combo->listIndex()) w->setCurrentIndex(combo->listIndex());
        QString value = fromUtf8(combo->text());
        if (w->currentText() != value) w->setEditText(value);
    } else if (auto* list = dynamic_cast<ListBox*>(&control)) {
        // The window hears of every change: a list box only ever gains rows
        // at its end or loses them all. Rows are added one at a time with an
        // event pass in between, so adding one must not depend on the rows
        // already shown.
        auto* w = static_cast<QListWidget*>(widget);
        if (w->count() > list->listCount()) w->clear();
        for (int i = w->count(); i < list->listCount(); ++i) w->addItem(fromUtf8(list->list(i)));
    } else if (auto* label = dynamic_cast<Label*>(&control)) {
        auto* w = static_cast<QLabel*>(widget);
        QString value = fromUtf8(label->caption());
        if (w->text() != value) w->setText(value);
    } else if (auto* bar = dynamic_cast<ProgressBar*>(&control)) {
        auto* w = static_cast<QProgressBar*>(widget);
        // A range of 0..0 would make Qt show a busy animation instead.
        w->setRange(0, std::max(bar->max(), 1));
        w->setValue(bar->value());
    } else if (auto* option = dynamic_cast<OptionButton*>(&control)) {
        if (OptionArray* array = arrayOf(*option)) syncOptionArray(*array);
    }
}

void MainWindow::syncDetails(const ComboBox& combo, QComboBox& w) {
    const std::vector<std::string>& details = combo.itemDetails();
    qsizetype widest = 0;
    for (int i = 0; i < w.count(); ++i) widest = std::max(widest, w.itemText(i).size());
    for (int i = 0; i < w.count(); ++i) {
        const size_t at = static_cast<size_t>(i);
        QVariant row;
        if (at < details.size() && !details[at].empty()) {
            // Figure spaces are as wide as a digit: " 7" lines up with " 77".
            const QString item = w.itemText(i);
            row = item + QString(widest - item.size(), QChar(0x2007)) + QStringLiteral("   ") + fromUtf8(details[at]);
        }
        if (w.itemData(i, PopupRowTextRole) != row) w.setItemData(i, row, PopupRowTextRole);
    }
}

QString MainWindow::popupRowText(const QModelIndex& index) {
    const QVariant row = index.data(PopupRowTextRole);
    return row.isValid() ? row.toString() : index.data(Qt::DisplayRole).toString();
}

OptionArray* MainWindow::arrayOf(const OptionButton& option) const {
    for (OptionArray* array : form_.optionArrays())
        for (OptionButton* b : array->buttons())
            if (b == &option) return array;
    return nullptr;
}

void MainWindow::guarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        QMessageBox::critical(this, fromUtf8(form_.applicationTitle()), QString::fromUtf8(e.what()));
    }
}

bool MainWindow::clickDefaultButton() {
    Button* button = form_.currentDefaultButton();
    if (!button || !button->usable()) return false;
    auto* w = qobject_cast<QPushButton*>(widgetFor(*button));
    if (!w) return false;
    w->click();
    return true;
}

bool MainWindow::filterTypedKey(Control& control, QKeyEvent* key) {
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
    KeyHandler* handler = nullptr;
    QLineEdit* edit = nullptr;
    if (auto* text = dynamic_cast<TextBox*>(&control)) {
        handler = &text->onKeyPress;
        edit = qobject_cast<QLineEdit*>(widgetFor(control));
    } else if (auto* combo = dynamic_cast<ComboBox*>(&control)) {
        handler = &combo->onKeyPress;
        if (auto* w = qobject_cast<QComboBox*>(widgetFor(control))) edit = w->lineEdit();
    }
    if (!edit) return false;

    auto runHandler = [&](int code) {
        if (*handler) guarded([&] { (*handler)(code); });
        refreshDefaultButton();
        return code;
    };

    if (isEnter(key)) {
        // A single-line box does not take Enter: with a usable default button
        // Enter is that button's click and the box sees no key; otherwise the
        // box's key handler gets character 13. Qt itself has nothing to do.
        if (!clickDefaultButton()) runHandler(13);
        return true;
    }
    if (key->key() == Qt::Key_Backspace) return runHandler(8) != 8;

    QList<uint> typed = key->text().toUcs4();
    if (typed.isEmpty() || (typed.size() == 1 && typed.front() == 127)) return false;
    QList<uint> kept;
    for (uint ch : typed) {
        int code = runHandler(static_cast<int>(ch));
        if (code != 0) kept.push_back(static_cast<uint>(code));
    }
    if (kept == typed) return false;  // unchanged: the box applies the key itself
    // Some characters were dropped or replaced: apply what is left by hand.
    QString rest;
    for (uint ch : kept)
        if (ch >= 32 && ch != 127) rest += QString::fromUcs4(reinterpret_cast<const char32_t*>(&ch), 1);
    if (!rest.isEmpty()) {
        edit->insert(rest);
        if (auto* text = dynamic_cast<TextBox*>(&control)) text->setText(toUtf8(edit->text()));
        if (auto* combo = dynamic_cast<ComboBox*>(&control)) combo->setText(toUtf8(edit->text()));
    }
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    Control* control = controlFor(qobject_cast<QWidget*>(watched));
    if (!control) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (dynamic_cast<TextBox*>(control) || dynamic_cast<ComboBox*>(control)) return filterTypedKey(*control, key);
    if (!isEnter(key) || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) return false;
    if (auto* button = dynamic_cast<Button*>(control)) {
        // A button with the focus takes Enter itself.
        if (auto* w = qobject_cast<QPushButton*>(widgetFor(*button))) w->click();
        return true;
    }
    return clickDefaultButton();
}

QSize MainWindow::clientSize() const {
    const WindowSize size = form_.windowSize();
    return {size.clientWidth, size.clientHeight};
}

void MainWindow::centreOnScreen() {
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    QRect area = s->availableGeometry();
    const WindowSize size = form_.windowSize();
    move(area.left() + (area.width() - size.outerWidth) / 2, area.top() + (area.height() - size.outerHeight) / 2);
}

void MainWindow::focusFirstControl() {
    for (Control* control : tabOrder_) {
        QWidget* w = widgetFor(*control);
        if (w && control->usable() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!focusSet_) {
        focusSet_ = true;
        focusFirstControl();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (form_.requestClose(forcedClose_ ? CloseRequest::Forced : CloseRequest::User)) {
        event->accept();
        return;
    }
    event->ignore();
    // The user chose to let a write to the unit go on.
    if (!form_.closing()) return;
    // An operation is still running: it stops at its next wait, and the
    // window goes once it has unwound.
    form_.setDeferredClose([this] { QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection); });
}

void MainWindow::closeOnSignals(TerminationSignals& notices) {
    delete signalNotifier_;
    signalNotifier_ = nullptr;
    if (notices.fd() < 0) return;
    signalNotifier_ = new QSocketNotifier(notices.fd(), QSocketNotifier::Read, this);
    connect(signalNotifier_, &QSocketNotifier::activated, this, [this, &notices] {
        if (notices.take() != 0) closeWithoutAsking();
    });
}

void MainWindow::closeWithoutAsking() {
    forcedClose_ = true;
    // The form is told at once rather than through close(): while the window
    // is inside its own close handling (the question whether to close during
    // a write is open), Qt drops a second close.
    if (form_.requestClose(CloseRequest::Forced))
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
    else
        form_.setDeferredClose([this] { QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection); });
    // A message box or file dialog still open would hold the running operation
    // where it is; dismissed, the operation goes on to its next wait and stops.
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->reject();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (size() == clientSize() || restoringSize_) return;
    // The window keeps its design size; a minimized, maximized or full-screen
    // window is left alone.
    restoringSize_ = true;
    QTimer::singleShot(0, this, [this] {
        restoringSize_ = false;
        if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
        if (size() != clientSize()) resize(clientSize());
    });
}

bool MainWindow::event(QEvent* event) {
    if (event->type() != QEvent::UpdateRequest) return QWidget::event(event);
    // The request to draw what changed: honoured at once unless the window
    // was drawn less than a frame ago; then once, when the frame is over.
    // Changes made meanwhile are drawn together.
    if (lastDrawn_.isValid() && lastDrawn_.elapsed() < FrameMs) {
        if (!drawPending_) {
            drawPending_ = true;
            QTimer::singleShot(FrameMs - static_cast<int>(lastDrawn_.elapsed()), Qt::PreciseTimer, this, [this] {
                drawPending_ = false;
                QCoreApplication::postEvent(this, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
            });
        }
        return true;
    }
    lastDrawn_.start();
    return QWidget::event(event);
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

}  // namespace qv
