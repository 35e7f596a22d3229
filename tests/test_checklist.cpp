// The check list on a real dialog: input as a user produces it, the records
// the windows hold, and the pixels an item paint leaves.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "checklist.h"
#include "gui_driver.h"

// The record's layout is the one the wizard's callers are written against.
static_assert(offsetof(CheckListState, previousParentUserData) == 20, "window fields first");
static_assert(offsetof(CheckListState, clickArm) == 24 && offsetof(CheckListState, textOffset) == 32, "counters");
static_assert(offsetof(CheckListState, checkBoxRect) == 36 && offsetof(CheckListState, textBuffer) == 52,
              "box, then text");
static_assert(offsetof(CheckListState, textMetrics) == 308, "metrics last");

namespace {

constexpr int ListId = 121;
constexpr DWORD WizardListStyle = 0x40a100d1;  // as the wizard's list 121
constexpr COLORREF Sentinel = RGB(0x12, 0x34, 0x56);

// A dialog like the wizard's frame: 8 pt "MS Sans Serif", one list box.
std::vector<WORD> DialogTemplate()
{
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto text = [&](const char* s) {
        while (*s) t.push_back(static_cast<unsigned char>(*s++));
        t.push_back(0);
    };
    dword(DS_SETFONT | WS_POPUP | WS_VISIBLE);
    dword(0);
    for (WORD w : {1, 0, 0, 294, 186, 0, 0}) t.push_back(w);  // items, x, y, cx, cy, menu, class
    text("Check list");
    t.push_back(8);
    text("MS Sans Serif");
    if (t.size() % 2) t.push_back(0);  // items start on a DWORD
    dword(WizardListStyle | WS_VISIBLE);
    dword(0);
    for (WORD w : {140, 24, 73, 61, ListId, 0xFFFF, 0x0083, 0, 0}) t.push_back(w);
    return t;
}

INT_PTR CALLBACK DialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

struct Seen {
    UINT message;
    WPARAM wParam;  // for WM_DRAWITEM: the itemID
    LPARAM lParam;  // for WM_DRAWITEM: the itemAction
};

// Subclasses placed before attaching: they see what the check list passes on.
WNDPROC listBelow, parentBelow;
std::vector<Seen> listSeen, parentSeen;

LRESULT CALLBACK ListSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_VSCROLL || message == WM_MOUSEWHEEL) listSeen.push_back({message, wParam, lParam});
    return CallWindowProcA(listBelow, window, message, wParam, lParam);
}

LRESULT CALLBACK ParentSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAWITEM) {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        parentSeen.push_back({message, item->itemID, static_cast<LPARAM>(item->itemAction)});
    }
    return CallWindowProcA(parentBelow, window, message, wParam, lParam);
}

// A top-down 32-bit DIB to paint items into, prefilled with Sentinel.
struct Canvas {
    static constexpr int Width = 120, Height = 48;
    HDC dc = CreateCompatibleDC(nullptr);
    DWORD* bits = nullptr;
    HBITMAP bitmap;
    HGDIOBJ original;
    Canvas()
    {
        BITMAPINFO info = {};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), Width, -Height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), nullptr, 0);
        original = SelectObject(dc, bitmap);
        Fill(Sentinel);
    }
    ~Canvas()
    {
        SelectObject(dc, original);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    void Fill(COLORREF c)
    {
        GdiFlush();
        for (int i = 0; i < Width * Height; ++i) bits[i] = RGB(GetBValue(c), GetGValue(c), GetRValue(c));
    }
    COLORREF At(int x, int y) const
    {
        GdiFlush();
        const DWORD p = bits[y * Width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    std::vector<DWORD> Copy(int left, int top, int right, int bottom) const
    {
        std::vector<DWORD> out;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) out.push_back(At(x, y));
        return out;
    }
    int Count(int left, int top, int right, int bottom, COLORREF c) const
    {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += At(x, y) == c;
        return n;
    }
};

// One dialog serves every test (destroying a shown window costs Wine a
// couple of seconds); each test attaches afresh with empty spies.
class CheckList : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const auto tmpl = DialogTemplate();
        dialog_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<const DLGTEMPLATE*>(tmpl.data()), nullptr,
                                             DialogProc, 0);
        list_ = GetDlgItem(dialog_, ListId);
    }
    static void TearDownTestSuite() { DestroyWindow(dialog_); }

    void SetUp() override
    {
        ASSERT_NE(list_, nullptr);
        SendMessageA(list_, LB_RESETCONTENT, 0, 0);
        listBelow = reinterpret_cast<WNDPROC>(SetWindowLongA(list_, GWL_WNDPROC, reinterpret_cast<LONG>(ListSpy)));
        parentBelow =
            reinterpret_cast<WNDPROC>(SetWindowLongA(dialog_, GWL_WNDPROC, reinterpret_cast<LONG>(ParentSpy)));
        state_ = CheckListAttach(list_);
        ASSERT_NE(state_, nullptr);
        PumpMessages();
        listSeen.clear();
        parentSeen.clear();
    }
    void TearDown() override
    {
        CheckListDetach(state_);
        SetWindowLongA(list_, GWL_WNDPROC, reinterpret_cast<LONG>(listBelow));
        SetWindowLongA(dialog_, GWL_WNDPROC, reinterpret_cast<LONG>(parentBelow));
        SetWindowLongA(list_, GWL_USERDATA, 0);
        SetWindowLongA(dialog_, GWL_USERDATA, 0);
    }

    void AddItems(const std::vector<LONG>& data)
    {
        for (LONG d : data) CheckListAddItem(state_, ("Item " + std::to_string(d)).c_str(), d);
    }
    std::vector<LONG> AllData() const
    {
        std::vector<LONG> out;
        const int count = static_cast<int>(SendMessageA(list_, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) out.push_back(CheckListGetItemData(state_, i));
        return out;
    }
    LPARAM ItemPoint(int index) const
    {
        RECT rc = {};
        SendMessageA(list_, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rc));
        return MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    }
    LRESULT Draw(Canvas& canvas, int index, UINT action, UINT itemState, RECT rc) const
    {
        DRAWITEMSTRUCT item = {ODT_LISTBOX, ListId, static_cast<UINT>(index), action, itemState,
                               list_, canvas.dc, rc, 0};
        return SendMessageA(dialog_, WM_DRAWITEM, ListId, reinterpret_cast<LPARAM>(&item));
    }

    static HWND dialog_;
    static HWND list_;
    CheckListState* state_ = nullptr;
};

HWND CheckList::dialog_ = nullptr;
HWND CheckList::list_ = nullptr;

TEST_F(CheckList, AttachKeepsAndDetachRestoresProceduresAndUserData)
{
    CheckListDetach(state_);
    state_ = nullptr;
    SetWindowLongA(list_, GWL_USERDATA, 0x11223344);
    SetWindowLongA(dialog_, GWL_USERDATA, 0x55667788);

    CheckListState* state = CheckListAttach(list_);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->listWindow, list_);
    EXPECT_EQ(state->parentWindow, dialog_);
    EXPECT_EQ(state->previousListProc, ListSpy);
    EXPECT_EQ(state->previousListUserData, 0x11223344);
    EXPECT_EQ(state->previousParentProc, ParentSpy);
    EXPECT_EQ(state->previousParentUserData, 0x55667788);
    EXPECT_EQ(state->clickArm, 0);
    EXPECT_EQ(GetWindowLongA(list_, GWL_USERDATA), reinterpret_cast<LONG>(state));
    EXPECT_EQ(GetWindowLongA(dialog_, GWL_USERDATA), reinterpret_cast<LONG>(state));
    EXPECT_EQ(GetWindowLongA(list_, GWL_WNDPROC), reinterpret_cast<LONG>(CheckListProc));
    EXPECT_EQ(GetWindowLongA(dialog_, GWL_WNDPROC), reinterpret_cast<LONG>(CheckListParentProc));

    CheckListDetach(state);
    EXPECT_EQ(GetWindowLongA(list_, GWL_USERDATA), 0x11223344);
    EXPECT_EQ(GetWindowLongA(dialog_, GWL_USERDATA), 0x55667788);
    EXPECT_EQ(GetWindowLongA(list_, GWL_WNDPROC), reinterpret_cast<LONG>(ListSpy));
    EXPECT_EQ(GetWindowLongA(dialog_, GWL_WNDPROC), reinterpret_cast<LONG>(ParentSpy));
}

TEST_F(CheckList, ItemHeightIsTheListFontsAscentButAtLeast16)
{
    TEXTMETRICA metrics = {};
    HDC dc = GetDC(list_);
    GetTextMetricsA(dc, &metrics);
    ReleaseDC(list_, dc);
    const LONG expected = metrics.tmAscent > 16 ? metrics.tmAscent : 16;
    EXPECT_EQ(state_->textMetrics.tmAscent, metrics.tmAscent);
    EXPECT_EQ(state_->itemHeight, expected);
    EXPECT_EQ(state_->textOffset, static_cast<DWORD>(expected - metrics.tmAscent) / 2);
    AddItems({1});
    EXPECT_EQ(SendMessageA(list_, LB_GETITEMHEIGHT, 0, 0), expected);
    RECT rc = {};
    SendMessageA(list_, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&rc));
    EXPECT_EQ(rc.bottom - rc.top, expected);
    std::printf("list font ascent %ld: item height %ld, text offset %lu\n", metrics.tmAscent,
                state_->itemHeight, state_->textOffset);
}

TEST_F(CheckList, ItemsKeepOrderTextAndData)
{
    struct Row {
        const char* text;
        LONG data;
    };
    const Row rows[] = {{" Zeta", 1}, {" Alpha", 0}, {" Mu", 5}, {"", -1}};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(CheckListAddItem(state_, rows[i].text, rows[i].data), i);
    for (int i = 0; i < 4; ++i) {
        char text[CheckListTextSize] = {};
        SendMessageA(list_, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, rows[i].text) << "item " << i;
        EXPECT_EQ(CheckListGetItemData(state_, i), rows[i].data) << "item " << i;
    }
    EXPECT_EQ(CheckListGetItemData(state_, 4), LB_ERR);

    const std::string longest(255, 'x'), tooLong(256, 'x');
    EXPECT_EQ(CheckListAddItem(state_, longest.c_str(), 1), 4);
    EXPECT_EQ(CheckListAddItem(state_, tooLong.c_str(), 1), LB_ERR);
    EXPECT_EQ(CheckListAddItem(state_, nullptr, 1), LB_ERR);
    EXPECT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 5);

    CheckListReset(state_);
    EXPECT_EQ(SendMessageA(list_, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(CheckListAddItem(state_, "again", 1), 0);
}

TEST(CheckListWithoutRecord, EveryOperationDoesNothing)
{
    EXPECT_EQ(CheckListAttach(nullptr), nullptr);
    EXPECT_EQ(CheckListAttach(reinterpret_cast<HWND>(0x7654)), nullptr);
    EXPECT_EQ(CheckListAddItem(nullptr, "x", 1), -1);
    EXPECT_EQ(CheckListGetItemData(nullptr, 0), -1);
    EXPECT_EQ(CheckListToggleSelection(nullptr), -1);
    CheckListReset(nullptr);
    CheckListDetach(nullptr);
}

enum Input { Press, Release, DoubleClick, Char, Key, Select };
struct Step {
    Input input;
    int item;      // where the mouse is, or the item to select (-1: none)
    WPARAM code;   // character or virtual key
};

TEST_F(CheckList, UserInputTogglesAsDesigned)
{
    const std::vector<LONG> initial = {1, 1, 0, 5, -1};
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<LONG> data;
        int selection;
    };
    const Case cases[] = {
        {"click toggles on release", {{Press, 1, 0}, {Release, 1, 0}}, {1, -1, 0, 5, -1}, 1},
        {"press alone does not toggle", {{Press, 1, 0}}, {1, 1, 0, 5, -1}, 1},
        {"double click toggles once",
         {{Press, 4, 0}, {Release, 4, 0}, {DoubleClick, 4, 0}, {Release, 4, 0}}, {1, 1, 0, 5, 1}, 4},
        {"two clicks toggle back",
         {{Press, 0, 0}, {Release, 0, 0}, {Press, 0, 0}, {Release, 0, 0}}, {1, 1, 0, 5, -1}, 0},
        {"release without a press in the list", {{Select, 1, 0}, {Release, 1, 0}}, {1, 1, 0, 5, -1}, 1},
        {"second release after a click", {{Press, 0, 0}, {Release, 0, 0}, {Release, 0, 0}}, {-1, 1, 0, 5, -1}, 0},
        {"data 0 stays unticked", {{Press, 2, 0}, {Release, 2, 0}}, {1, 1, 0, 5, -1}, 2},
        {"data 5 toggles to -5", {{Press, 3, 0}, {Release, 3, 0}}, {1, 1, 0, -5, -1}, 3},
        {"space toggles the selection", {{Select, 3, 0}, {Char, 0, ' '}}, {1, 1, 0, -5, -1}, 3},
        {"space without selection", {{Select, -1, 0}, {Char, 0, ' '}}, {1, 1, 0, 5, -1}, -1},
        {"another character does not toggle", {{Select, 0, 0}, {Char, 0, 'x'}}, {1, 1, 0, 5, -1}, 0},
        {"arrows move without toggling",
         {{Select, 1, 0}, {Key, 0, VK_DOWN}, {Key, 0, VK_DOWN}, {Key, 0, VK_UP}}, {1, 1, 0, 5, -1}, 2},
    };
    for (const Case& c : cases) {
        CheckListReset(state_);
        AddItems(initial);
        SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        state_->clickArm = 0;  // as after attaching
        for (const Step& s : c.steps) {
            switch (s.input) {
            case Press: SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, ItemPoint(s.item)); break;
            case Release: SendMessageA(list_, WM_LBUTTONUP, 0, ItemPoint(s.item)); break;
            case DoubleClick: SendMessageA(list_, WM_LBUTTONDBLCLK, MK_LBUTTON, ItemPoint(s.item)); break;
            case Char: SendMessageA(list_, WM_CHAR, s.code, 1); break;
            case Key:
                SendMessageA(list_, WM_KEYDOWN, s.code, 1);
                SendMessageA(list_, WM_KEYUP, s.code, 0xC0000001);
                break;
            case Select: SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(s.item), 0); break;
            }
            PumpMessages();
        }
        EXPECT_EQ(AllData(), c.data) << c.name;
        EXPECT_EQ(SendMessageA(list_, LB_GETCURSEL, 0, 0), c.selection) << c.name;
    }
}

TEST_F(CheckList, WheelSendsOneLineScrollAndPassesTheShiftedWord)
{
    AddItems(std::vector<LONG>(30, 1));
    struct Case {
        SHORT delta;
        WORD keys;
        WPARAM scroll;       // the WM_VSCROLL code sent first
        WPARAM passedOn;     // the WM_MOUSEWHEEL wParam the list box gets
    };
    const Case cases[] = {
        {-120, 0, SB_LINEDOWN, MAKEWPARAM(0, static_cast<WORD>(-240))},
        {120, 0, SB_LINEUP, MAKEWPARAM(0, 240)},
        {-120, MK_LBUTTON, SB_LINEDOWN, MAKEWPARAM(MK_RBUTTON, static_cast<WORD>(-240))},
        {120, MK_SHIFT, SB_LINEUP, MAKEWPARAM(MK_CONTROL, 240)},
    };
    for (const Case& c : cases) {
        listSeen.clear();
        SendMessageA(list_, WM_MOUSEWHEEL, MAKEWPARAM(c.keys, static_cast<WORD>(c.delta)), 0);
        ASSERT_GE(listSeen.size(), 2u) << c.delta;
        EXPECT_EQ(listSeen[0].message, static_cast<UINT>(WM_VSCROLL)) << c.delta;
        EXPECT_EQ(listSeen[0].wParam, c.scroll) << c.delta;
        EXPECT_EQ(listSeen[0].lParam, 0) << c.delta;
        EXPECT_EQ(listSeen[1].message, static_cast<UINT>(WM_MOUSEWHEEL)) << c.delta;
        EXPECT_EQ(listSeen[1].wParam, c.passedOn) << c.delta;
        for (size_t i = 2; i < listSeen.size(); ++i)
            EXPECT_NE(listSeen[i].message, static_cast<UINT>(WM_VSCROLL)) << "one scroll only, " << c.delta;
    }

    SendMessageA(list_, LB_SETTOPINDEX, 0, 0);
    SendMessageA(list_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
    const LRESULT down = SendMessageA(list_, LB_GETTOPINDEX, 0, 0);
    EXPECT_GT(down, 0);
    SendMessageA(list_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_LT(SendMessageA(list_, LB_GETTOPINDEX, 0, 0), down);
}

TEST_F(CheckList, DrawRequestsWithoutAnItemOrActionArePassedOn)
{
    AddItems({1});
    struct Case {
        int itemID;
        UINT action;
        bool passedOn;
    };
    const Case cases[] = {
        {-1, ODA_DRAWENTIRE, true}, {-1, ODA_FOCUS, true}, {0, ODA_DRAWENTIRE | ODA_FOCUS, true},
        {0, 0, true},  {0, ODA_DRAWENTIRE, false},         {0, ODA_SELECT, false},
        {0, ODA_FOCUS, false},
    };
    for (const Case& c : cases) {
        Canvas canvas;
        parentSeen.clear();
        Draw(canvas, c.itemID, c.action, 0, {0, 0, Canvas::Width, 16});
        if (c.passedOn) {
            ASSERT_EQ(parentSeen.size(), 1u) << c.itemID << "/" << c.action;
            EXPECT_EQ(parentSeen[0].wParam, static_cast<WPARAM>(c.itemID));
            EXPECT_EQ(parentSeen[0].lParam, static_cast<LPARAM>(c.action));
            EXPECT_EQ(canvas.Count(0, 0, Canvas::Width, Canvas::Height, Sentinel),
                      Canvas::Width * Canvas::Height)
                << "nothing painted for " << c.itemID << "/" << c.action;
        } else {
            EXPECT_TRUE(parentSeen.empty()) << c.action;
        }
    }
}

TEST_F(CheckList, ItemPaintLeavesBandBoxAndTextWhereDesigned)
{
    ASSERT_EQ(state_->itemHeight, 16) << "the pixel positions below assume 16-pixel items";
    CheckListAddItem(state_, "", 1);
    CheckListAddItem(state_, "", -1);
    CheckListAddItem(state_, "", 0);
    CheckListAddItem(state_, "", 5);
    CheckListAddItem(state_, "WWW", -1);
    const COLORREF window = GetSysColor(COLOR_WINDOW), caption = GetSysColor(COLOR_ACTIVECAPTION);
    const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT), highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    const RECT top = {0, 0, Canvas::Width, 16};

    // Band from x 18, strip left of it untouched but for the 13 x 13 box at (3, 3).
    struct Band {
        UINT itemState;
        COLORREF colour;
    };
    for (const Band b : {Band{0, window}, Band{ODS_SELECTED, caption}}) {
        Canvas canvas;
        EXPECT_NE(Draw(canvas, 1, ODA_DRAWENTIRE, b.itemState, top), 0);
        EXPECT_EQ(canvas.At(19, 8), b.colour);  // inside a selected item's focus frame
        EXPECT_EQ(canvas.At(Canvas::Width - 2, 8), b.colour);
        EXPECT_EQ(canvas.At(60, 14), b.colour);
        EXPECT_EQ(canvas.At(17, 8), Sentinel);
        EXPECT_EQ(canvas.Count(0, 0, 18, 3, Sentinel), 18 * 3);
        EXPECT_EQ(canvas.Count(0, 0, 3, 16, Sentinel), 3 * 16);
        EXPECT_EQ(canvas.Count(16, 0, 18, 16, Sentinel), 2 * 16);
        EXPECT_EQ(canvas.Count(0, 16, Canvas::Width, Canvas::Height, Sentinel), Canvas::Width * 32);
        EXPECT_NE(canvas.At(3, 3), Sentinel) << "box frame corner";
        EXPECT_NE(canvas.At(15, 15), Sentinel) << "box frame corner";
        EXPECT_EQ(canvas.Count(3, 3, 16, 16, Sentinel), 0) << "the box covers 13 x 13";
        EXPECT_EQ(state_->checkBoxRect.left, 3);
        EXPECT_EQ(state_->checkBoxRect.top, 3);
        EXPECT_EQ(state_->checkBoxRect.right, 16);
        EXPECT_EQ(state_->checkBoxRect.bottom, 16);
    }

    // Only data exactly 1 is ticked.
    auto box = [&](int index) {
        Canvas canvas;
        Draw(canvas, index, ODA_DRAWENTIRE, 0, top);
        return canvas.Copy(3, 3, 16, 16);
    };
    const auto ticked = box(0), unticked = box(1);
    EXPECT_NE(ticked, unticked);
    EXPECT_EQ(box(2), unticked) << "data 0";
    EXPECT_EQ(box(3), unticked) << "data 5";

    // The left edge of the band and the text's x do not follow rc.left.
    {
        Canvas canvas;
        Draw(canvas, 1, ODA_DRAWENTIRE, 0, {30, 16, Canvas::Width, 32});
        EXPECT_EQ(canvas.At(20, 24), window);
        EXPECT_EQ(canvas.At(17, 24), Sentinel);
        EXPECT_NE(canvas.At(33, 19), window) << "box inset 3 from the item's corner";
        EXPECT_NE(canvas.At(45, 31), window);
        EXPECT_EQ(canvas.At(32, 18), window) << "inside the band, left of the box";
        Draw(canvas, 4, ODA_DRAWENTIRE, 0, {30, 16, Canvas::Width, 32});
        EXPECT_GT(canvas.Count(18, 16, 30, 32, windowText), 0) << "text from x 18";
        EXPECT_EQ(canvas.Count(0, 0, Canvas::Width, 16, Sentinel), Canvas::Width * 16) << "nothing above the item";
    }

    // Text from x 18 in the text colour; focus frame only on focused or selected items.
    struct Text {
        UINT itemState;
        COLORREF band, text;
        bool frame;
    };
    for (const Text t : {Text{0, window, windowText, false}, Text{ODS_FOCUS, window, windowText, true},
                         Text{ODS_SELECTED, caption, highlightText, true}}) {
        Canvas canvas, empty;
        Draw(canvas, 4, ODA_DRAWENTIRE, t.itemState, top);
        Draw(empty, 1, ODA_DRAWENTIRE, t.itemState, top);
        EXPECT_EQ(canvas.Copy(0, 0, 18, 16), empty.Copy(0, 0, 18, 16)) << t.itemState;
        EXPECT_GT(canvas.Count(18, 0, 40, 16, t.text), 0) << t.itemState;
        const int framed = Canvas::Width - 18 - canvas.Count(18, 0, Canvas::Width, 1, t.band);
        EXPECT_EQ(framed > 0, t.frame) << t.itemState;
    }
}

TEST_F(CheckList, FocusRequestInvertsTheFrameOnly)
{
    AddItems({1});
    Canvas canvas;
    const auto before = canvas.Copy(0, 0, Canvas::Width, 16);
    EXPECT_EQ(Draw(canvas, 0, ODA_FOCUS, ODS_FOCUS, {0, 0, Canvas::Width, 16}), 1);
    EXPECT_EQ(canvas.Count(0, 0, 18, 16, Sentinel), 18 * 16);
    EXPECT_EQ(canvas.Count(19, 1, Canvas::Width - 1, 15, Sentinel), (Canvas::Width - 20) * 14);
    EXPECT_LT(canvas.Count(18, 0, Canvas::Width, 1, Sentinel), Canvas::Width - 18);
    Draw(canvas, 0, ODA_FOCUS, 0, {0, 0, Canvas::Width, 16});
    EXPECT_EQ(canvas.Copy(0, 0, Canvas::Width, 16), before);
}

TEST_F(CheckList, OverlongItemTextIsNotDrawnAndLeavesTheRecordIntact)
{
    const std::string longest(255, 'W'), overlong(300, 'W');
    CheckListAddItem(state_, longest.c_str(), 1);
    SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(overlong.c_str()));  // behind its back
    const TEXTMETRICA metrics = state_->textMetrics;
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);

    Canvas canvas;
    Draw(canvas, 0, ODA_DRAWENTIRE, 0, {0, 0, Canvas::Width, 16});
    EXPECT_EQ(std::string(state_->textBuffer), longest);
    EXPECT_GT(canvas.Count(18, 0, Canvas::Width, 16, text), 0);

    Draw(canvas, 1, ODA_DRAWENTIRE, 0, {0, 16, Canvas::Width, 32});
    EXPECT_STREQ(state_->textBuffer, "");
    EXPECT_EQ(canvas.Count(18, 16, Canvas::Width, 32, text), 0);
    EXPECT_EQ(std::memcmp(&state_->textMetrics, &metrics, sizeof metrics), 0);
    EXPECT_EQ(state_->itemHeight, 16);
}

TEST_F(CheckList, PaintingReleasesWhatItCreates)
{
    AddItems({1, -1});
    Canvas canvas;
    HBRUSH ownBrush = CreateSolidBrush(Sentinel);
    HPEN ownPen = CreatePen(PS_SOLID, 0, Sentinel);
    SelectObject(canvas.dc, ownBrush);
    SelectObject(canvas.dc, ownPen);

    const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 500; ++i) Draw(canvas, i % 2, ODA_DRAWENTIRE, i % 3 ? 0 : ODS_SELECTED, {0, 0, 120, 16});
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_BRUSH), ownBrush);
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_PEN), ownPen);
    EXPECT_EQ(GetObjectType(ownBrush), static_cast<DWORD>(OBJ_BRUSH)) << "the DC's own brush is not deleted";
    EXPECT_EQ(GetObjectType(ownPen), static_cast<DWORD>(OBJ_PEN));

    SelectObject(canvas.dc, GetStockObject(WHITE_BRUSH));
    SelectObject(canvas.dc, GetStockObject(BLACK_PEN));
    DeleteObject(ownBrush);
    DeleteObject(ownPen);
}

TEST_F(CheckList, ListWindowShowsTicksAndSelectionAndRedrawsAtOnce)
{
    ASSERT_EQ(state_->itemHeight, 16);
    AddItems({1, -1});
    SendMessageA(list_, LB_SETCURSEL, 1, 0);
    UpdateWindow(dialog_);
    PumpMessages();
    auto capture = [&](Canvas& canvas) {
        HDC dc = GetDC(list_);
        BitBlt(canvas.dc, 0, 0, Canvas::Width, 32, dc, 0, 0, SRCCOPY);
        ReleaseDC(list_, dc);
    };
    Canvas first;
    capture(first);
    EXPECT_EQ(first.At(100, 8), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(first.At(100, 24), GetSysColor(COLOR_ACTIVECAPTION));
    const auto tickedBox = first.Copy(3, 3, 16, 16), untickedBox = first.Copy(3, 19, 16, 32);
    EXPECT_NE(tickedBox, untickedBox);

    // A click on the first item unticks it, drawn before any message is pumped.
    SendMessageA(list_, WM_LBUTTONDOWN, MK_LBUTTON, ItemPoint(0));
    SendMessageA(list_, WM_LBUTTONUP, 0, ItemPoint(0));
    Canvas second;
    capture(second);
    EXPECT_EQ(second.At(100, 8), GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(second.Copy(3, 3, 16, 16), untickedBox);
}

// Where the process's object count cannot be read (Wine), a paint that kept
// its brush or pen would exhaust the handle table within these paints. Last
// in the file: a process without handles to spare cannot paint a window.
TEST_F(CheckList, PaintingNeverRunsTheProcessOutOfHandles)
{
    AddItems({1});
    Canvas canvas;
    for (int i = 1; i <= 33000; ++i) {
        Draw(canvas, 0, ODA_DRAWENTIRE, i % 2 ? ODS_SELECTED : 0, {0, 0, 120, 16});
        if (i % 1000) continue;
        HBRUSH spare = CreateSolidBrush(Sentinel);
        ASSERT_NE(spare, nullptr) << "no brush left after " << i << " paints";
        DeleteObject(spare);
    }
}

}  // namespace
