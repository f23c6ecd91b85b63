#include "key_rules.h"

#include <windows.h>

namespace {

bool isPlain(const KeyPress& key) { return !key.ctrl && !key.shift && !key.alt; }
bool isShiftOnly(const KeyPress& key) { return key.shift && !key.ctrl && !key.alt; }
bool isControl(KeyTarget target) { return target != KeyTarget::MainWindow; }

// A Tab that is not aimed at a control is still the window's: it is eaten
// rather than handed to a window that would not know what to do with it.
KeyAction tabMove(KeyTarget target, KeyAction move) { return isControl(target) ? move : KeyAction::Swallow; }

}  // namespace

KeyAction keyActionFor(const KeyPress& key, KeyTarget target)
{
    switch (key.virtualKey) {
    case VK_TAB:
        if (isPlain(key)) return tabMove(target, KeyAction::FocusNext);
        if (isShiftOnly(key)) return tabMove(target, KeyAction::FocusPrevious);
        return KeyAction::PassOn;
    case VK_ESCAPE:
        return isPlain(key) ? KeyAction::CloseWindow : KeyAction::PassOn;
    default:
        return KeyAction::PassOn;
    }
}

KeyTarget nextInTabOrder(KeyTarget control)
{
    switch (control) {
    case KeyTarget::OutputBox: return KeyTarget::RunButton;
    case KeyTarget::RunButton: return KeyTarget::CommandBox;
    case KeyTarget::CommandBox: return KeyTarget::OutputBox;
    case KeyTarget::MainWindow: break;
    }
    return KeyTarget::MainWindow;
}

KeyTarget previousInTabOrder(KeyTarget control)
{
    switch (control) {
    case KeyTarget::OutputBox: return KeyTarget::CommandBox;
    case KeyTarget::RunButton: return KeyTarget::OutputBox;
    case KeyTarget::CommandBox: return KeyTarget::RunButton;
    case KeyTarget::MainWindow: break;
    }
    return KeyTarget::MainWindow;
}
