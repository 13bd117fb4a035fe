// The converter's one window, Form1, in plain Win32: the pitch field,
// "Convert" and "Exit"/"Stop", the progress bar and the "Surface" check box,
// at their designed places and sized by the window font. It shows what the
// run logic tells it and forwards clicks and close requests to it.
#pragma once

#include <windows.h>

#include <string>

#include "winapp/file_dialogs.h"

namespace pelmoro::winapp {

// What the window forwards: its two buttons and a request to close it.
class FormEvents {
 public:
  virtual ~FormEvents() = default;
  virtual void Button1Click() = 0;
  virtual void Button2Click() = 0;
  // True when the window may close now.
  virtual bool CloseRequested() = 0;
  // The session ends: the program must end now.
  virtual void SessionEnding() = 0;
};

class TForm1 {
 public:
  TForm1();
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  // Creates the window with all its controls at its designed place (not yet
  // shown); false when the system refuses. events must outlive the window.
  bool Create(HINSTANCE instance, FormEvents* events);
  // Shows the window as the program was asked to start (show is the
  // ShowWindow request) and gives Edit1 the focus with its text selected.
  void Show(int show);

  // The window's keyboard, for a message the loop took: Enter clicks the
  // active default button (Button2 while it has the focus, otherwise
  // Button1; never a disabled one), Esc clicks nothing, Tab and Shift+Tab
  // move through Edit1, Button1, Button2 and CheckBox1. True when the
  // message was handled and is not to be dispatched.
  bool TakeKeyboardMessage(MSG* message);

  HWND Handle() const { return window_; }
  double LayoutScale() const { return scale_; }

  HWND Edit1 = nullptr;
  HWND Button1 = nullptr;
  FileDialog OpenDialog1;
  FileDialog SaveDialog1;
  HWND Label1 = nullptr;
  HWND Label2 = nullptr;
  HWND Label3 = nullptr;
  HWND Label4 = nullptr;
  HWND Button2 = nullptr;
  HWND ProgressBar1 = nullptr;
  HWND CheckBox1 = nullptr;

 protected:
  FormEvents* events_ = nullptr;
  HWND window_ = nullptr;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void CreateControls(HINSTANCE instance);
  void ApplyResolution(int dpi);
  void PlaceControls();
  void PlaceLabel(HWND label, const struct Place& place, HFONT font);
  void ClickButton(HWND button);
  void Forward(void (FormEvents::*handler)());

  double scale_ = 1.0;
  HFONT window_font_ = nullptr;
  HFONT large_font_ = nullptr;
};

}  // namespace pelmoro::winapp
