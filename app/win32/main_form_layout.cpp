// The window's controls: positions and sizes in pixels of the client area
// (not scaled with the screen's resolution), captions, fonts and colours.

#include "app/win32/main_form.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>

#include "app/port_map.h"
#include "app/win32/resource_ids.h"

namespace win32 {
namespace {

constexpr SIZE kClientSize{384, 278};
// Limits of the outer size; never below what the client area needs.
constexpr SIZE kMinTrackSize{160, 24};
constexpr SIZE kMaxTrackSize{392, 377};

struct Place {
    int left;
    int top;
    int width;
    int height;
};

// Where GroupBox1 and GroupBox2 lie: what the layout places in them is
// offset by their corner.
constexpr POINT kGroupBox1Corner{71, 67};
constexpr POINT kGroupBox2Corner{10, 168};

constexpr Place kTitlePlace{0, 16, 382, 19};
constexpr Place kPanel1Place{8, 49, 369, 2};
constexpr Place kGroupBox1Place{71, 67, 113, 65};
constexpr Place kPortPlace{32, 24, 25, 21};     // in GroupBox1
constexpr Place kUpDown1Place{57, 24, 15, 21};  // in GroupBox1
constexpr Place kUpdatePlace{199, 89, 113, 25};
constexpr Place kLabel2Place{200, 121, 54, 13};
constexpr Place kNPacPlace{273, 121, 6, 13};
constexpr Place kLabel3Place{203, 139, 51, 13};
constexpr Place kTPacPlace{273, 139, 6, 13};
constexpr Place kPanel3Place{7, 153, 369, 2};
constexpr Place kGroupBox2Place{10, 168, 365, 97};
constexpr Place kPanel2Place{62, 24, 240, 28};        // in GroupBox2
constexpr POINT kStatusPosition{5, 6};                // in Panel2
constexpr Place kProgressBarPlace{62, 59, 240, 20};  // in GroupBox2

constexpr int kInitialPort = 1;
constexpr const char* kInitialPortText = "1";
constexpr const char* kInitialStatus = "          ";  // ten blanks
constexpr const char* kCountsUnknown = "--";

constexpr COLORREF kTitleColour = RGB(0, 0, 255);
constexpr COLORREF kGaugeControlColour = RGB(255, 0, 0);

constexpr const char* kFormClass = "TMainForm";
constexpr const char* kPanelClass = "TPanel";

Place In(POINT corner, Place place) {
    return Place{corner.x + place.left, corner.y + place.top, place.width, place.height};
}

HWND MakeControl(HWND parent, DWORD exStyle, const char* className, const char* text, DWORD style,
                 const Place& place, HFONT font, int id = 0) {
    const HWND control = CreateWindowExA(exStyle, className, text, WS_CHILD | style, place.left, place.top,
                                         place.width, place.height, parent,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                         GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // Some controls adjust their size while they are created (an etched line
    // takes a frame, spin buttons a width of their own); the layout's wins.
    SetWindowPos(control, nullptr, place.left, place.top, place.width, place.height, SWP_NOZORDER | SWP_NOACTIVATE);
    return control;
}

HWND Label(HWND parent, const char* text, DWORD style, const Place& place, HFONT font) {
    return MakeControl(parent, 0, "STATIC", text, style | SS_NOPREFIX, place, font);
}

HWND EtchedLine(HWND parent, const Place& place) {
    return MakeControl(parent, 0, "STATIC", "", WS_VISIBLE | SS_ETCHEDHORZ, place, nullptr);
}

HWND GroupBox(HWND parent, const char* caption, const Place& place, HFONT font) {
    return MakeControl(parent, 0, "BUTTON", caption, WS_VISIBLE | BS_GROUPBOX, place, font);
}

// Panel2: a white box with a sunken frame, whose labels are white behind their text.
LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CTLCOLORSTATIC) {
        const auto dc = reinterpret_cast<HDC>(wParam);
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClasses(WNDPROC formProc) {
    static const bool registered = [formProc] {
        const HINSTANCE instance = GetModuleHandleA(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS};
        InitCommonControlsEx(&controls);

        WNDCLASSEXA form{};
        form.cbSize = sizeof(form);
        form.lpfnWndProc = formProc;
        form.hInstance = instance;
        form.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        form.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        form.lpszClassName = kFormClass;
        form.hIcon = static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(IDI_UPDATER), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
        form.hIconSm = static_cast<HICON>(
            LoadImageA(instance, MAKEINTRESOURCEA(IDI_UPDATER), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
        RegisterClassExA(&form);

        WNDCLASSEXA panel{};
        panel.cbSize = sizeof(panel);
        panel.lpfnWndProc = PanelProc;
        panel.hInstance = instance;
        panel.hCursor = form.hCursor;
        panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        panel.lpszClassName = kPanelClass;
        RegisterClassExA(&panel);
        return true;
    }();
    static_cast<void>(registered);
}

}  // namespace

void TMainForm::CreateFormWindow() {
    RegisterClasses(&TMainForm::WindowProc);
    // A single fixed frame: caption, system menu and minimise button, no
    // sizing border and no maximise button.
    constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer{0, 0, kClientSize.cx, kClientSize.cy};
    AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
    window_ = CreateWindowExA(0, kFormClass, "", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, outer.right - outer.left,
                              outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), this);
    if (window_ == nullptr) throw std::runtime_error("Cannot create the main window");
    services_.SetWindow(window_);
    ProgressBar.SetParent(window_);
}

void TMainForm::LimitTrackSize(MINMAXINFO& limits) const {
    RECT outer{0, 0, kClientSize.cx, kClientSize.cy};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrA(window_, GWL_STYLE)), FALSE, 0);
    limits.ptMinTrackSize = POINT{kMinTrackSize.cx, kMinTrackSize.cy};
    limits.ptMaxTrackSize = POINT{std::max(kMaxTrackSize.cx, outer.right - outer.left),
                                  std::max(kMaxTrackSize.cy, outer.bottom - outer.top)};
}

void TMainForm::BuildControls() {
    const HFONT font = fonts_.normal.Get();
    lblMainTitle = Label(window_, "", WS_VISIBLE | SS_CENTER, kTitlePlace, fonts_.title.Get());
    Panel1 = EtchedLine(window_, kPanel1Place);

    GroupBox1 = GroupBox(window_, "Select Com Port", kGroupBox1Place, font);
    // Tab order is creation order: the button first, then the port's edit
    // box and its spin buttons.
    update = MakeControl(window_, 0, "BUTTON", "Update Software", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                         kUpdatePlace, font, kUpdateButtonId);
    Port = MakeControl(window_, WS_EX_CLIENTEDGE, "EDIT", kInitialPortText,
                       WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, In(kGroupBox1Corner, kPortPlace), font);
    // Bound to Port: writes its position there, reads a typed number back
    // before each step, wraps from 35 to 1 and from 1 to 35.
    UpDown1 = MakeControl(window_, 0, UPDOWN_CLASSA, "",
                          WS_VISIBLE | WS_TABSTOP | UDS_WRAP | UDS_SETBUDDYINT | UDS_ARROWKEYS | UDS_NOTHOUSANDS,
                          In(kGroupBox1Corner, kUpDown1Place), font);
    SendMessageA(UpDown1, UDM_SETBUDDY, reinterpret_cast<WPARAM>(Port), 0);
    SendMessageA(UpDown1, UDM_SETRANGE32, app::kMinPort, app::kMaxPort);
    SendMessageA(UpDown1, UDM_SETPOS32, 0, kInitialPort);

    // Hidden for the whole run; NPac and TPac are still kept current.
    Label2 = Label(window_, "Bytes Sent:", 0, kLabel2Place, font);
    NPac = Label(window_, kCountsUnknown, 0, kNPacPlace, font);
    Label3 = Label(window_, "Byte Total:", 0, kLabel3Place, font);
    TPac = Label(window_, kCountsUnknown, 0, kTPacPlace, font);

    Panel3 = EtchedLine(window_, kPanel3Place);
    GroupBox2 = GroupBox(window_, "Progress", kGroupBox2Place, font);
    Panel2 = MakeControl(window_, WS_EX_CLIENTEDGE, kPanelClass, "", WS_VISIBLE,
                         In(kGroupBox2Corner, kPanel2Place), font);
    Status = Label(Panel2, "", WS_VISIBLE | SS_LEFTNOWORDWRAP,
                   Place{kStatusPosition.x, kStatusPosition.y, 0, 0}, fonts_.bold.Get());
    SetStatus(kInitialStatus);

    const Place gauge = In(kGroupBox2Corner, kProgressBarPlace);
    ProgressBar.SetBounds(gauge.left, gauge.top, gauge.width, gauge.height);
    ProgressBar.SetColor(kGaugeControlColour);
}

LRESULT TMainForm::ColourStatic(HDC dc, HWND control) const {
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    SetTextColor(dc, control == lblMainTitle ? kTitleColour : GetSysColor(COLOR_WINDOWTEXT));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void TMainForm::CenterOnScreen() {
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    RECT frame{};
    GetWindowRect(window_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMainForm::SetStatus(const std::string& text) {
    SetWindowTextA(Status, text.c_str());
    // Grows to the right with its text, clipped inside Panel2's frame.
    SIZE extent{};
    {
        const WindowDC dc(Status);
        const Selection font(dc.Get(), fonts_.bold.Get());
        GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc.Get(), &metrics);
        extent.cy = metrics.tmHeight;
    }
    RECT room{};
    GetClientRect(Panel2, &room);
    const int width = std::min<int>(extent.cx, room.right - kStatusPosition.x);
    SetWindowPos(Status, nullptr, 0, 0, std::max(width, 0), extent.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (statusObserver_) statusObserver_(text);
}

}  // namespace win32
