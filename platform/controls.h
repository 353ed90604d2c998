// Model-first controls of the toolkit layer.
//
// Each control is a plain C++ object holding its state (text, items, enabled,
// visible, ...) and delivering its events through std::function members. The
// handlers of the window only ever touch these objects. A backend (the real Qt
// window, or the headless test backend) observes the controls and mirrors them.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qv {

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A font as the design gives it: point size 0 means "the window's default font".
struct FontSpec {
    double points = 0;
    bool bold = false;
};

struct Color {
    int red = 0;
    int green = 0;
    int blue = 0;
};

class Control;

// A backend registers one observer per control; it is told after every change.
class ControlObserver {
public:
    virtual ~ControlObserver() = default;
    virtual void controlChanged(Control& control) = 0;
};

class Control {
public:
    Control(std::string name, Control* parent, Rect rect, int tabIndex);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return name_; }
    Control* parent() const { return parent_; }
    const std::vector<Control*>& children() const { return children_; }

    // The control's own flags.
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    bool visible() const { return visible_; }
    void setVisible(bool on);

    // True when a user could reach the control: it and every container around
    // it are enabled and visible (a disabled frame disables what it holds).
    bool usable() const;

    Rect rect;
    int tabIndex;
    FontSpec font;
    // A control that is read during operations (the status line, the progress
    // bar) keeps its look while it is disabled; it still takes no input.
    bool keepsLookWhenDisabled = false;

    void setObserver(ControlObserver* observer) { observer_ = observer; }

protected:
    void changed();

private:
    std::string name_;
    Control* parent_;
    std::vector<Control*> children_;
    bool enabled_ = true;
    bool visible_ = true;
    ControlObserver* observer_ = nullptr;
};

class Frame : public Control {
public:
    Frame(std::string name, Control* parent, Rect rect, int tabIndex, std::string caption);
    const std::string& caption() const { return caption_; }

private:
    std::string caption_;
};

class Button : public Control {
public:
    Button(std::string name, Control* parent, Rect rect, int tabIndex, std::string caption);
    const std::string& caption() const { return caption_; }

    std::function<void()> onClick;

    // A user's click: runs onClick only when the button can be reached.
    // Returns whether the click was delivered.
    bool press();

private:
    std::string caption_;
};

// Key events carry one character code; a handler sets it to 0 to drop it.
using KeyHandler = std::function<void(int& keyAscii)>;

// Applies a typed character to a single-line text: Backspace removes the last
// character, printable characters are appended, others change nothing.
std::string applyTypedCharacter(const std::string& text, int keyAscii);

class TextBox : public Control {
public:
    TextBox(std::string name, Control* parent, Rect rect, int tabIndex);
    const std::string& text() const { return text_; }
    void setText(const std::string& text);

    KeyHandler onKeyPress;

    // A user types one character at the end of the text: the key handler sees
    // it first and may drop it. Returns whether the character was kept.
    bool type(int keyAscii);
    // A user types a whole text, one character at a time.
    void typeText(const std::string& text);

private:
    std::string text_;
};

class ComboBox : public Control {
public:
    ComboBox(std::string name, Control* parent, Rect rect, int tabIndex);

    // The text shown is independent of the list.
    const std::string& text() const { return text_; }
    void setText(const std::string& text);

    const std::vector<std::string>& items() const { return items_; }
    void addItem(const std::string& item);
    int listCount() const { return static_cast<int>(items_.size()); }

    // Selected position, -1 for none. Selecting an item shows its text.
    int listIndex() const { return listIndex_; }
    void setListIndex(int index);

    // Texts shown beside the items in the open list only, by item position:
    // never the box's text, never picked. An item without one shows alone.
    const std::vector<std::string>& itemDetails() const { return details_; }
    void setItemDetails(std::vector<std::string> details);

    KeyHandler onKeyPress;
    std::function<void()> onChange;
    // The user is opening the list; it shows once this has run.
    std::function<void()> onDropDown;

    bool type(int keyAscii);
    // A user picks an item from the list.
    bool pick(int index);
    // A user opens the list: runs onDropDown. Returns false, running nothing,
    // when the box cannot be reached.
    bool dropDown();

private:
    std::string text_;
    std::vector<std::string> items_;
    std::vector<std::string> details_;
    int listIndex_ = -1;
};

class ListBox : public Control {
public:
    ListBox(std::string name, Control* parent, Rect rect, int tabIndex);
    void clear();
    void addItem(const std::string& item);
    int listCount() const { return static_cast<int>(items_.size()); }
    const std::string& list(int index) const { return items_.at(static_cast<size_t>(index)); }
    const std::vector<std::string>& items() const { return items_; }

private:
    std::vector<std::string> items_;
};

class Label : public Control {
public:
    Label(std::string name, Control* parent, Rect rect, int tabIndex, std::string caption);
    const std::string& caption() const { return caption_; }
    void setCaption(const std::string& caption);
    Color foreColor;

private:
    std::string caption_;
};

class ProgressBar : public Control {
public:
    ProgressBar(std::string name, Control* parent, Rect rect, int tabIndex);
    int max() const { return max_; }
    void setMax(int max);
    int value() const { return value_; }
    // A value outside 0 .. max is refused with std::out_of_range ("Invalid
    // property value"): the handlers keep the value within the bar
    // themselves, and one that does not is a fault to be seen, not hidden.
    void setValue(int value);

private:
    int max_ = 100;
    int value_ = 0;
};

class OptionArray;

class OptionButton : public Control {
public:
    OptionButton(OptionArray& array, int index, Control* parent, Rect rect, int tabIndex,
                 std::string caption);
    const std::string& caption() const { return caption_; }
    int index() const { return index_; }
    bool value() const { return value_; }
    // Selecting an option clears the others of its array and runs the array's
    // click handler; selecting one that is already selected changes nothing.
    void setValue(bool on);
    // A user's click on the option.
    bool press();

private:
    friend class OptionArray;
    OptionArray& array_;
    int index_;
    std::string caption_;
    bool value_ = false;
};

// A control array of option buttons: one name, one handler that gets the index.
class OptionArray {
public:
    explicit OptionArray(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    OptionButton& operator[](int index);
    const OptionButton& operator[](int index) const;
    std::vector<OptionButton*>& buttons() { return buttons_; }
    // Index of the selected option, -1 for none.
    int selected() const;

    std::function<void(int index)> onClick;

private:
    friend class OptionButton;
    void select(OptionButton& chosen);
    std::string name_;
    std::vector<OptionButton*> buttons_;
};

}  // namespace qv
