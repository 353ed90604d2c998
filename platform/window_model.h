// What a toolkit backend needs of the form it shows as a real window: the
// controls to mirror, the caption and size, the default button, and how a
// close of the window is handed back. The backend knows controls only, never
// the form built from them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace qv {

// How a close was asked for: by the user, who is asked first when closing
// would cut a write to the unit short, or by the system (a termination
// signal), which is never asked anything.
enum class CloseRequest { User, Forced };

// The window's design size in pixels: the inner area the controls stand in
// and the outer frame around it.
struct WindowSize {
    int clientWidth = 0;
    int clientHeight = 0;
    int outerWidth = 0;
    int outerHeight = 0;
};

class WindowModel {
public:
    virtual ~WindowModel() = default;

    virtual std::string windowCaption() const = 0;
    // The title of a box that reports an error no handler caught.
    virtual std::string applicationTitle() const = 0;
    virtual WindowSize windowSize() const = 0;
    // Every control, container by container in stacking order (bottom first).
    virtual const std::vector<Control*>& controls() const = 0;
    // The option arrays the option buttons belong to.
    virtual std::vector<OptionArray*> optionArrays() = 0;
    // The button Enter clicks in a control that does not take Enter itself;
    // nullptr when there is none.
    virtual Button* currentDefaultButton() const = 0;

    // The window is being closed: true when it may go at once. False when it
    // must stay: either the user chose to let a running operation go on
    // (closing() false), or an operation is still unwinding (closing() true),
    // in which case the action given to setDeferredClose runs once it has.
    virtual bool requestClose(CloseRequest how) = 0;
    virtual bool closing() const = 0;
    virtual void setDeferredClose(std::function<void()> action) = 0;
};

}  // namespace qv
