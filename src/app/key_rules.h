#pragma once
// The main window's keyboard rules as pure decisions, apart from the window.

// Where a key message went.
enum class KeyTarget {
    OutputBox,
    RunButton,
    CommandBox,
    MainWindow,  // the main window itself, or anything of it that is not a control
};

// What the window does with a key.
enum class KeyAction {
    PassOn,         // translated and dispatched as usual
    FocusNext,      // consumed; the focus moves forward in the Tab order
    FocusPrevious,  // consumed; the focus moves backward in the Tab order
    Swallow,        // consumed; nothing happens
    CloseWindow,    // consumed; the main window is closed
};

struct KeyPress {
    unsigned virtualKey;
    bool ctrl;
    bool shift;
    bool alt;
};

// Only Tab, Shift+Tab and Esc are the window's own; every other key, Enter
// included, reaches the focused control untouched.
KeyAction keyActionFor(const KeyPress& key, KeyTarget target);

// The control after (or before) `control` in the Tab order: output box, run
// button, command box, and round again. `control` is one of the three boxes
// and buttons; MainWindow gives MainWindow.
KeyTarget nextInTabOrder(KeyTarget control);
KeyTarget previousInTabOrder(KeyTarget control);
// The first control of the Tab order.
constexpr KeyTarget kFirstInTabOrder = KeyTarget::OutputBox;
