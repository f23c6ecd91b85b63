#pragma once
// The main window: its three controls, its keyboard and focus rules, and the
// text operations a command run uses.
#include <windows.h>

#include <cstddef>

#include "owned_text.h"

struct MainWindow {
    HWND window;
    HWND outputBox;   // 编辑框1
    HWND runButton;   // 按钮1
    HWND commandBox;  // 编辑框2
    HFONT commandFont;
    HBRUSH boxBrush;
    HWND rememberedFocus;  // the control that had the focus at the last deactivation
};

// The program's one MainWindow. Its handles are null before the window is
// created and again once it has been destroyed.
MainWindow& mainWindow();

constexpr int kOutputBoxId = 100;
constexpr int kRunButtonId = 110;
constexpr int kCommandBoxId = 120;
constexpr char kMainWindowClassName[] = "CmdpaneMainWindow";

// Creates the main window hidden, with its controls visible within it.
// False when the window or a control cannot be created.
bool createMainWindow();

// The main window's keyboard rules for a message just taken from the queue;
// true when the message is consumed (neither translated nor dispatched).
bool preTranslateKeyMessage(const MSG& msg);

OwnedText readCommandText(FatalErrorSink& sink);
OwnedText readOutputText(FatalErrorSink& sink);
// Replaces the output box's whole text.
void writeOutputText(const char* text);
// Adds `length` bytes at the end of the output box without rewriting what it
// holds, then shows the start of the text with the caret at 0.
void appendOutputText(const char* text, size_t length);
// True once the output box no longer exists.
bool outputBoxGone();
