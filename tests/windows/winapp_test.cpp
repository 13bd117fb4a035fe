// The Windows window's own parts: its title, its geometry and the scaling
// rule, and Form1 itself on a display (controls, texts, places, tab order,
// the keyboard). Run under Wine by scripts/test-windows-window.sh.
#include <gtest/gtest.h>
#include <windows.h>
// The common controls need windows.h before them.
#include <commctrl.h>

#include <string>
#include <vector>

#include "winapp/application_title.h"
#include "winapp/form1.h"
#include "winapp/form_layout.h"
#include "winapp/form_view.h"

namespace pelmoro::winapp {
namespace {

struct TitleCase {
  const char* name;
  std::wstring path;
  std::wstring title;
};

class TitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(TitleTest, CutsAndLowersTheExecutablesName) {
  EXPECT_EQ(TitleFromExecutable(GetParam().path), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Names, TitleTest,
    ::testing::Values(TitleCase{"Upper", L"C:\\Tools\\CONVERT.EXE", L"Convert"},
                      TitleCase{"Program", L"C:\\Program Files\\pelmoro\\pelmoro.exe", L"pelmoro"},
                      TitleCase{"FirstDot", L"D:/a.b/Map.Tool.exe", L"Map"},
                      TitleCase{"FirstKept", L"x\\aBC", L"abc"},
                      TitleCase{"Accented",
                                L"\\\\host\\share\\\x00C9"
                                L"COLE.EXE",
                                L"\x00C9"
                                L"cole"},
                      TitleCase{"DotFirst", L"C:\\bin\\.hidden", L""}),
    [](const auto& info) { return std::string(info.param.name); });

struct ScaleCase {
  const char* name;
  int text_height;
  double scale;
};

class LayoutScaleTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(LayoutScaleTest, IsTheTextHeightOverTwelve) {
  EXPECT_DOUBLE_EQ(LayoutScale(GetParam().text_height), GetParam().scale);
}

INSTANTIATE_TEST_SUITE_P(Heights, LayoutScaleTest,
                         ::testing::Values(ScaleCase{"Designed", 12, 1.0},
                                           ScaleCase{"Substitute", 13, 13.0 / 12},
                                           ScaleCase{"Scaled150", 18, 1.5},
                                           ScaleCase{"Smaller", 10, 10.0 / 12},
                                           ScaleCase{"Unmeasured", 0, 1.0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct DpiCase {
  const char* name;
  int dpi;
  int pixels;
};

class WindowFontTest : public ::testing::TestWithParam<DpiCase> {};

TEST_P(WindowFontTest, GrowsWithTheResolution) {
  EXPECT_EQ(WindowFontPixels(GetParam().dpi), GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, WindowFontTest,
                         ::testing::Values(DpiCase{"Dpi96", 96, 12}, DpiCase{"Dpi120", 120, 15},
                                           DpiCase{"Dpi144", 144, 18}, DpiCase{"Dpi168", 168, 21},
                                           DpiCase{"Unknown", 0, 12}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScaledTest, RoundsEveryLengthOfAPlace) {
  const Place p = Scaled(kButton1, 1.5);  // 152, 192, 65 x 41
  EXPECT_EQ(p.left, 228);
  EXPECT_EQ(p.top, 288);
  EXPECT_EQ(p.width, 98);  // 97.5 rounds away from zero
  EXPECT_EQ(p.height, 62);
}

// What the window forwarded.
class RecordingEvents : public FormEvents {
 public:
  void Button1Click() override { calls.push_back("Button1Click"); }
  void Button2Click() override { calls.push_back("Button2Click"); }
  bool CloseRequested() override {
    calls.push_back("CloseRequested");
    return false;
  }
  void SessionEnding() override { calls.push_back("SessionEnding"); }
  std::vector<std::string> calls;
};

class FormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(form_.Create(::GetModuleHandleW(nullptr), &events_));
    form_.Show(SW_SHOWNORMAL);
  }
  // The place of a control in the form's client area.
  RECT PlaceOf(HWND control) {
    RECT r;
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, form_.Handle(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  // A key pressed while the focus is where it is.
  bool Press(WPARAM key) {
    MSG message = {::GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
    return form_.TakeKeyboardMessage(&message);
  }
  RecordingEvents events_;
  TForm1 form_;
};

TEST_F(FormTest, ShowsTheDesignedTexts) {
  FormView view(form_);
  EXPECT_EQ(ControlText(form_.Handle()), "PELMORO");
  EXPECT_EQ(ControlText(form_.Label1), "mm");
  EXPECT_EQ(ControlText(form_.Label2), "STL to HZM converter");
  EXPECT_EQ(ControlText(form_.Label3), "Mesh size");
  EXPECT_EQ(ControlText(form_.Label4), "Pitch 0.025 to 6.375 mm\r\nSurface: first in file");
  EXPECT_EQ(view.PitchText(), "0.1");
  EXPECT_EQ(ControlText(form_.Button1), "Convert");
  EXPECT_EQ(view.Button2Caption(), "Exit");
  EXPECT_EQ(ControlText(form_.CheckBox1), "Surface");
  EXPECT_FALSE(view.SurfaceChecked());
  EXPECT_TRUE(view.Button1Enabled());
  EXPECT_EQ(::SendMessageW(form_.ProgressBar1, PBM_GETPOS, 0, 0), 0);
}

TEST_F(FormTest, PlacesTheControlsByTheLayoutScale) {
  const double scale = form_.LayoutScale();
  RECT client;
  ::GetClientRect(form_.Handle(), &client);
  EXPECT_EQ(client.right, Scaled(kClientWidth, scale));
  EXPECT_EQ(client.bottom, Scaled(kClientHeight, scale));
  const struct {
    HWND control;
    Place place;
  } fixed[] = {{form_.Edit1, kEdit1},
               {form_.Button1, kButton1},
               {form_.Button2, kButton2},
               {form_.ProgressBar1, kProgressBar1},
               {form_.CheckBox1, kCheckBox1}};
  for (const auto& [control, place] : fixed) {
    const Place want = Scaled(place, scale);
    const RECT got = PlaceOf(control);
    EXPECT_EQ(got.left, want.left);
    EXPECT_EQ(got.top, want.top);
    EXPECT_EQ(got.right - got.left, want.width);
    EXPECT_EQ(got.bottom - got.top, want.height);
  }
  // Labels: the designed corner, sized to their text.
  for (const auto& [label, place] : {std::pair{form_.Label1, kLabel1}, {form_.Label4, kLabel4}}) {
    const RECT got = PlaceOf(label);
    EXPECT_EQ(got.left, Scaled(place.left, scale));
    EXPECT_EQ(got.top, Scaled(place.top, scale));
    EXPECT_GT(got.right - got.left, 0);
  }
  EXPECT_GT(PlaceOf(form_.Label4).bottom - PlaceOf(form_.Label4).top,
            PlaceOf(form_.Label1).bottom - PlaceOf(form_.Label1).top);  // two lines
}

TEST_F(FormTest, TabsThroughTheFourControlsInOrder) {
  const HWND order[] = {form_.Edit1, form_.Button1, form_.Button2, form_.CheckBox1, form_.Edit1};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(::GetNextDlgTabItem(form_.Handle(), order[i], FALSE), order[i + 1]) << i;
    EXPECT_EQ(::GetNextDlgTabItem(form_.Handle(), order[i + 1], TRUE), order[i]) << i;
  }
  EXPECT_EQ(::GetFocus(), form_.Edit1);
  DWORD start = 0, end = 0;
  ::SendMessageW(form_.Edit1, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 3u);  // "0.1" selected
}

struct KeyCase {
  const char* name;
  bool focus_on_button2;
  bool button1_enabled;
  WPARAM key;
  std::vector<std::string> calls;
};

class FormKeyTest : public FormTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(FormKeyTest, ClicksTheActiveDefaultButtonOnly) {
  const KeyCase& c = GetParam();
  ::EnableWindow(form_.Button1, c.button1_enabled);
  ::SetFocus(c.focus_on_button2 ? form_.Button2 : form_.Edit1);
  EXPECT_TRUE(Press(c.key));
  EXPECT_EQ(events_.calls, c.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, FormKeyTest,
    ::testing::Values(KeyCase{"EnterInEdit", false, true, VK_RETURN, {"Button1Click"}},
                      KeyCase{"EnterOnButton2", true, true, VK_RETURN, {"Button2Click"}},
                      KeyCase{"EnterDuringRun", false, false, VK_RETURN, {}},
                      KeyCase{"EnterOnButton2DuringRun", true, false, VK_RETURN, {"Button2Click"}},
                      KeyCase{"Escape", false, true, VK_ESCAPE, {}},
                      KeyCase{"EscapeOnButton2", true, true, VK_ESCAPE, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FormTest, AsksBeforeClosing) {
  ::SendMessageW(form_.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(events_.calls, std::vector<std::string>{"CloseRequested"});
  EXPECT_TRUE(::IsWindow(form_.Handle()));  // refused: it stays
}

TEST_F(FormTest, ViewSetsWhatTheRunShows) {
  FormView view(form_);
  view.SetButton2Caption("Stop");
  EXPECT_EQ(view.Button2Caption(), "Stop");
  view.SetButton1Enabled(false);
  EXPECT_FALSE(view.Button1Enabled());
  view.SetProgress(42);
  EXPECT_EQ(::SendMessageW(form_.ProgressBar1, PBM_GETPOS, 0, 0), 42);
  ::SetWindowTextW(form_.Edit1, L"\x0030\xFF0E\x0035");  // a full-width point
  EXPECT_EQ(view.PitchText(),
            "0\xEF\xBC\x8E"
            "5");
  ::SendMessageW(form_.CheckBox1, BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_TRUE(view.SurfaceChecked());
}

}  // namespace
}  // namespace pelmoro::winapp
