#include "main_window.h"

#include <cstring>

#include "command_run.h"
#include "gdi_owners.h"
#include "key_rules.h"
#include "single_line_box.h"
#include "program_shell.h"
#include "window_runner_shell.h"
#include "word_breaks.h"

namespace {

MainWindow programMainWindow{};

constexpr int kWindowWidth = 416;
constexpr int kWindowHeight = 250;
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr COLORREF kBoxTextColour = RGB(0, 0, 0);
constexpr COLORREF kBoxBackColour = RGB(255, 255, 255);

// "执行" and "宋体" in GBK.
const char kRunCaption[] = "\xD6\xB4\xD0\xD0";
const char kCommandFontFace[] = "\xCB\xCE\xCC\xE5";
const char kInitialCommand[] = "dir c:\\";

struct ControlLayout {
    const char* className;
    int id;
    int x, y, width, height;
    const char* text;
    DWORD style;  // without WS_VISIBLE: controls are shown once all exist
};

constexpr DWORD kControlBase = WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS;
const ControlLayout kOutputBoxLayout = {
    "EDIT", kOutputBoxId, 0, 0, 409, 185, "",
    kControlBase | WS_VSCROLL | ES_LEFT | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN};
const ControlLayout kRunButtonLayout = {
    "BUTTON", kRunButtonId, 317, 194, 88, 24, kRunCaption,
    kControlBase | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER | BS_MULTILINE};
const ControlLayout kCommandBoxLayout = {
    "EDIT", kCommandBoxId, 5, 194, 304, 24, kInitialCommand, kControlBase | ES_LEFT | ES_AUTOHSCROLL};

#ifdef CMDPANE_FAULT_HOOKS
// Test builds can make the creation of the main window fail.
bool windowCreationFails()
{
    char value[8] = {};
    return GetEnvironmentVariableA("CMDPANE_FAIL_WINDOW", value, sizeof value) > 0 && std::strcmp(value, "1") == 0;
}
#else
bool windowCreationFails() { return false; }
#endif

HINSTANCE programInstance() { return GetModuleHandleA(nullptr); }

// ---- Key targets -------------------------------------------------------

KeyTarget keyTargetOf(HWND window)
{
    const MainWindow& w = programMainWindow;
    if (window == w.outputBox) return KeyTarget::OutputBox;
    if (window == w.runButton) return KeyTarget::RunButton;
    if (window == w.commandBox) return KeyTarget::CommandBox;
    return KeyTarget::MainWindow;
}

HWND controlOf(KeyTarget target)
{
    const MainWindow& w = programMainWindow;
    switch (target) {
    case KeyTarget::OutputBox: return w.outputBox;
    case KeyTarget::RunButton: return w.runButton;
    case KeyTarget::CommandBox: return w.commandBox;
    case KeyTarget::MainWindow: break;
    }
    return nullptr;
}

bool isPressed(int virtualKey) { return (GetKeyState(virtualKey) & 0x8000) != 0; }

KeyPress keyPressOf(const MSG& msg)
{
    return KeyPress{static_cast<unsigned>(msg.wParam), isPressed(VK_CONTROL), isPressed(VK_SHIFT),
                    isPressed(VK_MENU)};
}

bool belongsToMainWindow(HWND window)
{
    const HWND main = programMainWindow.window;
    return main != nullptr && (window == main || IsChild(main, window));
}

void focusControl(KeyTarget target)
{
    const HWND control = controlOf(target);
    if (control) SetFocus(control);
}

// ---- Creation ----------------------------------------------------------

void recomputeFrame(HWND window)
{
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

HWND createControl(HWND parent, const ControlLayout& layout)
{
    return CreateWindowExA(0, layout.className, layout.text, layout.style, layout.x, layout.y, layout.width, layout.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(layout.id)), programInstance(), nullptr);
}

enum class BoxLines { Single, Multi };

void setUpEditBox(HWND box, HFONT font, BoxLines lines)
{
    if (lines == BoxLines::Single) {
        makeSingleLineBox(box);
        applyMinimumHeight(box, font);
    }
    SendMessageA(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (lines == BoxLines::Single) recomputeFrame(box);
    SendMessageA(box, EM_LIMITTEXT, 0, 0);
    SendMessageA(box, EM_SETSEL, 0, 0);
    SendMessageA(box, EM_SCROLLCARET, 0, 0);
    SetWindowLongPtrA(box, GWL_EXSTYLE, GetWindowLongPtrA(box, GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    recomputeFrame(box);
}

HFONT createCommandFont()
{
    LOGFONTA font{};
    font.lfHeight = -19;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH;
    std::memcpy(font.lfFaceName, kCommandFontFace, sizeof kCommandFontFace);
    return CreateFontIndirectA(&font);
}

HFONT defaultGuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

int CALLBACK outputBoxWordBreak(LPSTR text, int index, int count, int action) noexcept
{
    return wordBreakPosition(text, index, count, action, CP_ACP);
}

bool createControls(MainWindow& w)
{
    w.outputBox = createControl(w.window, kOutputBoxLayout);
    if (!w.outputBox) return false;
    setUpEditBox(w.outputBox, defaultGuiFont(), BoxLines::Multi);
    const EDITWORDBREAKPROCA wordBreak = outputBoxWordBreak;
    SendMessageA(w.outputBox, EM_SETWORDBREAKPROC, 0, reinterpret_cast<LPARAM>(wordBreak));

    w.runButton = createControl(w.window, kRunButtonLayout);
    if (!w.runButton) return false;
    SendMessageA(w.runButton, WM_SETFONT, reinterpret_cast<WPARAM>(defaultGuiFont()), TRUE);

    w.commandBox = createControl(w.window, kCommandBoxLayout);
    if (!w.commandBox) return false;
    setUpEditBox(w.commandBox, w.commandFont, BoxLines::Single);
    return true;
}

void placeSiblings(const MainWindow& w)
{
    const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
    SetWindowPos(w.commandBox, HWND_TOP, 0, 0, 0, 0, flags);
    SetWindowPos(w.runButton, w.commandBox, 0, 0, 0, 0, flags);
    SetWindowPos(w.outputBox, w.runButton, 0, 0, 0, 0, flags);
}

void showControls(const MainWindow& w)
{
    ShowWindow(w.outputBox, SW_SHOWNA);
    ShowWindow(w.runButton, SW_SHOWNA);
    ShowWindow(w.commandBox, SW_SHOWNA);
}

void setIcons(HWND window)
{
    const struct {
        WPARAM which;
        int size;
    } icons[] = {{ICON_BIG, 32}, {ICON_SMALL, 16}};
    // Shared images are loaded once per process and belong to the system:
    // a window made again gets the same icons, and nobody destroys them.
    for (const auto& icon : icons) {
        const HANDLE image = LoadImageA(programInstance(), "DEFAULT_ICON", IMAGE_ICON, icon.size, icon.size,
                                        LR_DEFAULTCOLOR | LR_SHARED);
        if (image) SendMessageA(window, WM_SETICON, icon.which, reinterpret_cast<LPARAM>(image));
    }
}

// Some window managers give the frame another size than asked for.
void enforceOuterSize(HWND window)
{
    RECT outer;
    GetWindowRect(window, &outer);
    if (outer.right - outer.left != kWindowWidth || outer.bottom - outer.top != kWindowHeight) {
        MoveWindow(window, outer.left, outer.top, kWindowWidth, kWindowHeight, TRUE);
    }
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

bool registerWindowClass()
{
    WNDCLASSA existing;
    if (GetClassInfoA(programInstance(), kMainWindowClassName, &existing)) return true;
    WNDCLASSA windowClass{};
    windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = programInstance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kMainWindowClassName;
    return RegisterClassA(&windowClass) != 0;
}

HWND createTopLevelWindow()
{
    if (windowCreationFails()) return nullptr;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
    return CreateWindowExA(0, kMainWindowClassName, "", kWindowStyle, left, top, kWindowWidth, kWindowHeight,
                           nullptr, nullptr, programInstance(), nullptr);
}

// ---- The main window's messages ----------------------------------------

LRESULT onPaint(HWND window)
{
    const PaintScope paint(window);
    const SolidBrush face(GetSysColor(COLOR_BTNFACE));
    FillRect(paint.dc(), &paint.area(), face.get());
    return 0;
}

LRESULT onActivate(HWND window, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = DefWindowProcA(window, WM_ACTIVATE, wParam, lParam);
    if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus && IsChild(window, focus)) programMainWindow.rememberedFocus = focus;
    }
    return result;
}

HWND firstFocusableControl()
{
    KeyTarget target = kFirstInTabOrder;
    do {
        const HWND control = controlOf(target);
        if (control && IsWindowVisible(control) && IsWindowEnabled(control)) return control;
        target = nextInTabOrder(target);
    } while (target != kFirstInTabOrder);
    return nullptr;
}

LRESULT onSetFocus(HWND window)
{
    const HWND remembered = programMainWindow.rememberedFocus;
    programMainWindow.rememberedFocus = nullptr;
    if (remembered && IsWindow(remembered) && IsChild(window, remembered)) {
        SetFocus(remembered);
    } else if (const HWND first = firstFocusableControl()) {
        SetFocus(first);
    }
    return 0;
}

LRESULT onCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    const bool runClicked = HIWORD(wParam) == BN_CLICKED && programMainWindow.runButton != nullptr &&
                            reinterpret_cast<HWND>(lParam) == programMainWindow.runButton;
    if (!runClicked) return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
    if (!handlersBlocked()) {
        WindowRunnerShell shell;
        runButtonClicked(shell);
    }
    return 0;
}

LRESULT onCtlColorEdit(HWND window, WPARAM wParam, LPARAM lParam)
{
    const HWND box = reinterpret_cast<HWND>(lParam);
    if (box != programMainWindow.outputBox && box != programMainWindow.commandBox) {
        return DefWindowProcA(window, WM_CTLCOLOREDIT, wParam, lParam);
    }
    const HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, kBoxTextColour);
    SetBkColor(dc, kBoxBackColour);
    return reinterpret_cast<LRESULT>(programMainWindow.boxBrush);
}

LRESULT onClose(HWND window)
{
    DestroyWindow(window);
    return 0;
}

LRESULT onNcDestroy(HWND window, WPARAM wParam, LPARAM lParam)
{
    MainWindow& w = programMainWindow;
    if (window == w.window) {
        if (w.commandFont) DeleteObject(w.commandFont);
        if (w.boxBrush) DeleteObject(w.boxBrush);
        // A run that outlives the window finds the handles cleared.
        w = MainWindow{};
        mainWindowDestroyed();
    }
    return DefWindowProcA(window, WM_NCDESTROY, wParam, lParam);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_PAINT: return onPaint(window);
    case WM_ACTIVATE: return onActivate(window, wParam, lParam);
    case WM_SETFOCUS: return onSetFocus(window);
    case WM_COMMAND: return onCommand(window, wParam, lParam);
    case WM_CTLCOLOREDIT: return onCtlColorEdit(window, wParam, lParam);
    case WM_CLOSE: return onClose(window);
    case WM_QUERYENDSESSION: return TRUE;
    case WM_NCDESTROY: return onNcDestroy(window, wParam, lParam);
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

// ---- Texts -------------------------------------------------------------

OwnedText readWindowText(FatalErrorSink& sink, HWND window)
{
    const int length = window ? GetWindowTextLengthA(window) : 0;
    OwnedText text = OwnedText::withLength(sink, length > 0 ? static_cast<size_t>(length) : 0);
    if (length <= 0) return text;
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.truncate(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

// Keeps a control from drawing while it changes, and has it drawn whole
// afterwards, frame and scroll bar included. The control's style loses
// WS_VISIBLE meanwhile, which is what WM_SETREDRAW FALSE does on Windows;
// under Wine that message leaves the edit control visible, and each move of
// its scroll position then draws the scroll bar at once (about 4 ms, four
// times in one append).
class DrawingHeldOff {
public:
    explicit DrawingHeldOff(HWND control) : control_(control), style_(GetWindowLongPtrA(control, GWL_STYLE))
    {
        if (wasVisible()) SetWindowLongPtrA(control_, GWL_STYLE, style_ & ~static_cast<LONG_PTR>(WS_VISIBLE));
    }
    ~DrawingHeldOff()
    {
        if (!wasVisible()) return;
        SetWindowLongPtrA(control_, GWL_STYLE, style_);
        RedrawWindow(control_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }
    DrawingHeldOff(const DrawingHeldOff&) = delete;
    DrawingHeldOff& operator=(const DrawingHeldOff&) = delete;

private:
    bool wasVisible() const { return (style_ & WS_VISIBLE) != 0; }

    HWND control_;
    LONG_PTR style_;  // as it was before; nothing else changes it meanwhile
};

// Scrolls the box so that its first line is at the top.
void scrollToFirstLine(HWND box)
{
    const LRESULT firstVisible = SendMessageA(box, EM_GETFIRSTVISIBLELINE, 0, 0);
    if (firstVisible > 0) SendMessageA(box, EM_LINESCROLL, 0, -firstVisible);
}

// The caret position after the box's last character, in the box's own
// units. Asked of the last line, so that it costs the same however much text
// the box holds (the window text length converts the whole text).
WPARAM endOfText(HWND box)
{
    const LRESULT lastLine = SendMessageA(box, EM_GETLINECOUNT, 0, 0) - 1;
    const LRESULT lastLineStart = SendMessageA(box, EM_LINEINDEX, static_cast<WPARAM>(lastLine), 0);
    const LRESULT lastLineLength = SendMessageA(box, EM_LINELENGTH, static_cast<WPARAM>(lastLineStart), 0);
    return static_cast<WPARAM>(lastLineStart + lastLineLength);
}

}  // namespace

MainWindow& mainWindow() { return programMainWindow; }

bool createMainWindow()
{
    MainWindow& w = programMainWindow;
    if (!registerWindowClass()) return false;
    w.window = createTopLevelWindow();
    if (!w.window) return false;
    enforceOuterSize(w.window);
    setIcons(w.window);
    w.commandFont = createCommandFont();
    w.boxBrush = CreateSolidBrush(kBoxBackColour);
    if (!createControls(w)) {
        DestroyWindow(w.window);
        return false;
    }
    placeSiblings(w);
    showControls(w);
    return true;
}

bool preTranslateKeyMessage(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (!belongsToMainWindow(msg.hwnd)) return false;
    const KeyTarget target = keyTargetOf(msg.hwnd);
    switch (keyActionFor(keyPressOf(msg), target)) {
    case KeyAction::PassOn: return false;
    case KeyAction::FocusNext: focusControl(nextInTabOrder(target)); return true;
    case KeyAction::FocusPrevious: focusControl(previousInTabOrder(target)); return true;
    case KeyAction::Swallow: return true;
    case KeyAction::CloseWindow: SendMessageA(programMainWindow.window, WM_CLOSE, 0, 0); return true;
    }
    return false;
}

OwnedText readCommandText(FatalErrorSink& sink) { return readWindowText(sink, programMainWindow.commandBox); }

OwnedText readOutputText(FatalErrorSink& sink) { return readWindowText(sink, programMainWindow.outputBox); }

void writeOutputText(const char* text)
{
    if (programMainWindow.outputBox) SetWindowTextA(programMainWindow.outputBox, text);
}

void appendOutputText(const char* text, size_t length)
{
    const HWND box = programMainWindow.outputBox;
    if (!box || length == 0) return;
    const DrawingHeldOff heldOff(box);
    const WPARAM end = endOfText(box);
    SendMessageA(box, EM_SETSEL, end, static_cast<LPARAM>(end));
    // No undo record: the output is not the user's edit.
    SendMessageA(box, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text));
    SendMessageA(box, EM_SETSEL, 0, 0);
    SendMessageA(box, EM_SCROLLCARET, 0, 0);
    scrollToFirstLine(box);
}

bool outputBoxGone()
{
    const HWND box = programMainWindow.outputBox;
    return box == nullptr || !IsWindow(box);
}
