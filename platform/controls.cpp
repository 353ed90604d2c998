#include "platform/controls.h"

#include <stdexcept>

namespace qv {

Control::Control(std::string name, Control* parent, Rect r, int tab)
    : rect(r), tabIndex(tab), name_(std::move(name)), parent_(parent) {
    if (parent_) parent_->children_.push_back(this);
}

void Control::setEnabled(bool on) {
    if (enabled_ == on) return;
    enabled_ = on;
    changed();
}

void Control::setVisible(bool on) {
    if (visible_ == on) return;
    visible_ = on;
    changed();
}

bool Control::usable() const {
    for (const Control* c = this; c; c = c->parent_)
        if (!c->enabled_ || !c->visible_) return false;
    return true;
}

void Control::changed() {
    if (observer_) observer_->controlChanged(*this);
}

Frame::Frame(std::string name, Control* parent, Rect r, int tab, std::string caption)
    : Control(std::move(name), parent, r, tab), caption_(std::move(caption)) {}

Button::Button(std::string name, Control* parent, Rect r, int tab, std::string caption)
    : Control(std::move(name), parent, r, tab), caption_(std::move(caption)) {}

bool Button::press() {
    if (!usable()) return false;
    if (onClick) onClick();
    return true;
}

std::string applyTypedCharacter(const std::string& text, int keyAscii) {
    if (keyAscii == 8) {
        if (text.empty()) return text;
        // Remove one whole UTF-8 character.
        size_t end = text.size() - 1;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
        return text.substr(0, end);
    }
    if (keyAscii >= 32 && keyAscii < 127) return text + static_cast<char>(keyAscii);
    return text;
}

TextBox::TextBox(std::string name, Control* parent, Rect r, int tab)
    : Control(std::move(name), parent, r, tab) {}

void TextBox::setText(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    changed();
}

bool TextBox::type(int keyAscii) {
    if (!usable()) return false;
    if (onKeyPress) onKeyPress(keyAscii);
    if (keyAscii == 0) return false;
    setText(applyTypedCharacter(text_, keyAscii));
    return true;
}

void TextBox::typeText(const std::string& text) {
    for (char ch : text) type(static_cast<unsigned char>(ch));
}

ComboBox::ComboBox(std::string name, Control* parent, Rect r, int tab)
    : Control(std::move(name), parent, r, tab) {}

void ComboBox::setText(const std::string& text) {
    if (text_ == text) return;
    text_ = text;
    changed();
    if (onChange) onChange();
}

void ComboBox::addItem(const std::string& item) {
    items_.push_back(item);
    changed();
}

void ComboBox::setListIndex(int index) {
    if (index < -1 || index >= listCount())
        throw std::out_of_range(name() + ": invalid list position " + std::to_string(index));
    listIndex_ = index;
    changed();
    if (index >= 0) setText(items_[static_cast<size_t>(index)]);
}

bool ComboBox::type(int keyAscii) {
    if (!usable()) return false;
    if (onKeyPress) onKeyPress(keyAscii);
    if (keyAscii == 0) return false;
    setText(applyTypedCharacter(text_, keyAscii));
    return true;
}

bool ComboBox::pick(int index) {
    if (!usable() || index < 0 || index >= listCount()) return false;
    setListIndex(index);
    return true;
}

void ComboBox::setItemDetails(std::vector<std::string> details) {
    if (details_ == details) return;
    details_ = std::move(details);
    changed();
}

bool ComboBox::dropDown() {
    if (!usable()) return false;
    if (onDropDown) onDropDown();
    return true;
}

ListBox::ListBox(std::string name, Control* parent, Rect r, int tab)
    : Control(std::move(name), parent, r, tab) {}

void ListBox::clear() {
    if (items_.empty()) return;
    items_.clear();
    changed();
}

void ListBox::addItem(const std::string& item) {
    items_.push_back(item);
    changed();
}

Label::Label(std::string name, Control* parent, Rect r, int tab, std::string caption)
    : Control(std::move(name), parent, r, tab), caption_(std::move(caption)) {}

void Label::setCaption(const std::string& caption) {
    if (caption_ == caption) return;
    caption_ = caption;
    changed();
}

ProgressBar::ProgressBar(std::string name, Control* parent, Rect r, int tab)
    : Control(std::move(name), parent, r, tab) {}

void ProgressBar::setMax(int max) {
    max_ = max < 0 ? 0 : max;
    if (value_ > max_) value_ = max_;
    changed();
}

void ProgressBar::setValue(int value) {
    if (value < 0 || value > max_)
        throw std::out_of_range(name() + ": Invalid property value " + std::to_string(value) + " (0 .. " +
                                std::to_string(max_) + ")");
    if (value == value_) return;
    value_ = value;
    changed();
}

OptionButton::OptionButton(OptionArray& array, int index, Control* parent, Rect r, int tab,
                           std::string caption)
    : Control(array.name() + "(" + std::to_string(index) + ")", parent, r, tab),
      array_(array),
      index_(index),
      caption_(std::move(caption)) {
    auto& list = array_.buttons_;
    if (list.size() <= static_cast<size_t>(index)) list.resize(static_cast<size_t>(index) + 1, nullptr);
    list[static_cast<size_t>(index)] = this;
}

void OptionButton::setValue(bool on) {
    if (on == value_) return;
    if (on) {
        array_.select(*this);
        if (array_.onClick) array_.onClick(index_);
    } else {
        value_ = false;
        changed();
    }
}

bool OptionButton::press() {
    if (!usable()) return false;
    setValue(true);
    return true;
}

OptionButton& OptionArray::operator[](int index) {
    return *buttons_.at(static_cast<size_t>(index));
}

const OptionButton& OptionArray::operator[](int index) const {
    return *buttons_.at(static_cast<size_t>(index));
}

int OptionArray::selected() const {
    for (const OptionButton* b : buttons_)
        if (b && b->value_) return b->index_;
    return -1;
}

void OptionArray::select(OptionButton& chosen) {
    for (OptionButton* b : buttons_) {
        if (!b || b == &chosen || !b->value_) continue;
        b->value_ = false;
        b->changed();
    }
    chosen.value_ = true;
    chosen.changed();
}

}  // namespace qv
