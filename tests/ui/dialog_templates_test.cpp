// The dialog templates of the built installer against the layout the
// installer promises: every wizard page and box, the two error dialogs and
// the folder browser's replacement template. The expected values are
// written here by hand, never read from the installer's own resource
// script, so a caption, size, text or style that drifts in the script fails.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/win32_test_support.h"
#include "tests/ui/dialog_template.h"

namespace kest {
namespace {

const std::string kInstaller = test::WindowsPath(KESTINST_EXE);

using test::ControlTemplate;
using test::DialogTemplate;
constexpr WORD kButton = test::kButtonClass;
constexpr WORD kEdit = test::kEditClass;
constexpr WORD kStatic = test::kStaticClass;
constexpr WORD kListBox = test::kListBoxClass;
constexpr WORD kComboBox = test::kComboBoxClass;

// What a control must be. id -1 names an unnumbered static, found by its
// text; text null leaves the text unchecked (left to the implementer or
// filled at run time); style: bits that must be set; visible: 1 the
// control must carry WS_VISIBLE, 0 it must not, -1 unchecked.
struct Control {
  int id;
  WORD class_ordinal;
  const char* text;
  DWORD style = 0;
  int visible = -1;
  RECT place = {0, 0, 0, 0};  // x, y, width, height in dialog units; all 0: unchecked
};

struct Dialog {
  int id;
  bool page_class;
  const char* caption;  // null: left to the implementer
  short cx, cy;
  const char* font;
  WORD points;
  int default_button;  // 0: no button is the default one
  std::vector<Control> controls;
  short x = -1, y = -1;  // where the template places the dialog; -1: unchecked
  DWORD style = WS_POPUP | WS_CAPTION;
};

constexpr DWORD kErrorStyle = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;

std::vector<Dialog> ExpectedDialogs() {
  const char* ms = "MS Sans Serif";
  std::vector<Dialog> dialogs = {
      {122, true, nullptr, 352, 207, ms, 8, 1,
       {{1, kButton, "&Install"},
        {3, kButton, "E&xit Install"},
        {1032, kEdit, nullptr, ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL},
        {1033, kButton, "I agree to all of the terms and conditions contained in this agreement.",
         BS_AUTOCHECKBOX},
        {1034, kStatic, nullptr},
        {1035, kStatic,
         "If you do not agree, press Exit Install. You may return your copy of Morvane "
         "Components to the place of purchase, for a full refund."}}},
      {101, true, "Morvane Components Install", 231, 174, ms, 8, 1,
       {{1, kButton, "&Next >"},
        {4, kButton, "< &Previous"},
        {3, kButton, "E&xit Install"},
        {1001, kStatic, "Component Name", SS_CENTER},
        {-1, kStatic,
         "Welcome to the Install program. The following Morvane Components will be "
         "installed:  "},
        {1503, kStatic, nullptr, SS_BITMAP},
        {1019, kStatic, nullptr},
        {1028, kStatic,
         "Congratulations on your decision to use Morvane Components, the fast, focused, and "
         "easy-to-use software products that help you get more out of Morvane Scriba. "},
        {1030, kStatic, nullptr, SS_SUNKEN}}},
      {108, true, "Morvane Components Install", 235, 153, ms, 8, 1,
       {{1004, kEdit, nullptr, ES_AUTOHSCROLL},
        {1000, kButton, "&Browse..."},
        {1, kButton, "&Next >"},
        {3, kButton, "E&xit Install"},
        {-1, kStatic, "&Folder:"},
        {-1, kStatic,
         "Where would you like to Install the Morvane Components that you have chosen?  "
         "Please enter the folder name below, or use the Browse button to search for an "
         "existing folder."},
        {1002, kStatic,
         "If you choose to install additional Morvane Components in the future, they will be "
         "copied to this same folder."},
        {1003, kStatic, nullptr}}},
      {107, true, "Morvane Components Install", 229, 97, ms, 8, 1,
       {{1, kButton, "&Next >"},
        {3, kButton, "E&xit Install"},
        {-1, kStatic,
         "The Components you have chosen will be copied into your current Morvane Components "
         "folder, listed below."},
        {1003, kStatic, nullptr}}},
      {115, false, "Morvane Component Install", 185, 55, ms, 8, 0,
       {{-1, kStatic,
         "Please wait. Install is checking to make sure that you have all the files you need "
         "for a successful installation."}}},
      {121, false, "Exit Install", 188, 63, ms, 8, 1,
       {{1, kButton, "&Yes"},
        {2, kButton, "&No"},
        {-1, kStatic, "Are you sure you want to exit Install?"},
        {1031, kStatic, "#1501", SS_ICON}}},
      {123, false, "Software Agreement Not Complete", 188, 110, ms, 8, 1,
       {{1, kButton, "OK"}}},
      {104, false, "Installation Complete", 188, 50, ms, 8, 1,
       {{1, kButton, "&OK"},
        {-1, kStatic, "Morvane Components have been successfully installed."}}},
      {120, false, "Installation Complete", 188, 73, ms, 8, 1,
       {{1, kButton, "&OK"},
        {-1, kStatic,
         "Morvane Components have been successfully installed. Please shut down and restart "
         "Windows for the changes to take effect."}}},
      {106, false, "Installation Not Complete", 188, 118, ms, 8, 1,
       {{1, kButton, "&OK"},
        {-1, kStatic,
         "The installation program was unable to register one or more of the Morvane "
         "Components. To successfully register the Morvane Components, reboot your system and "
         "rerun this installation program."},
        {-1, kStatic,
         "If you still encounter registration errors, contact your system administrator."}}},
      {105, false, "Browse for Folder", 185, 151, "Helv", 8, 1,
       {{-1, kStatic, "Folders:", 0, 1},
        {1088, kStatic, nullptr, SS_NOPREFIX, 1},
        {1121, kListBox, nullptr, 0, 1},
        {1091, kStatic, "Dri&ves:", 0, 1},
        {1137, kComboBox, nullptr, 0, 1},
        {1, kButton, "&OK", 0, 1},
        {2, kButton, "&Cancel", 0, 1},
        {1038, kButton, "&Help", 0, 1},
        {1090, kStatic, "File &Name:", 0, 0},
        {1152, kEdit, nullptr, 0, 0},
        {1120, kListBox, nullptr, 0, 0},
        {1089, kStatic, "List Files of &Type:", 0, 0},
        {1136, kComboBox, nullptr, 0, 0}},
       36, 24},
  };
  // The error dialogs: the same controls, template 119 without the detail
  // and with the message and buttons higher up.
  for (bool detail : {true, false}) {
    const LONG button_y = detail ? 127 : 96;
    Dialog d = {detail ? 118 : 119, false, "Install Error", 273, short(detail ? 151 : 119), ms,
                8, 0,
                {{1021, kStatic, nullptr, SS_ICON, -1, {19, 11, 18, 20}},
                 {1022, kStatic, nullptr, 0, -1, {54, 10, 185, 25}},
                 {1023, kStatic, nullptr, 0, -1, {54, detail ? 73 : 42, 185, 42}},
                 {2, kButton, "&Change Drive...", 0, -1, {18, button_y, 72, 14}},
                 {4, kButton, "&Try Again", 0, -1, {100, button_y, 72, 14}},
                 {1, kButton, "E&xit Install", 0, -1, {182, button_y, 72, 14}}}};
    d.style = kErrorStyle;
    if (detail) d.controls.push_back({1027, kStatic, nullptr, 0, -1, {54, 41, 185, 26}});
    dialogs.push_back(d);
  }
  return dialogs;
}

const ControlTemplate* Find(const DialogTemplate& t, const Control& c) {
  for (const ControlTemplate& found : t.controls) {
    const bool same = c.id != -1 ? found.id == c.id
                                 : found.id == -1 && c.text != nullptr && found.text == c.text;
    if (same) {
      return &found;
    }
  }
  return nullptr;
}

TEST(DialogTemplates, EveryDialogAsPromised) {
  const std::vector<DialogTemplate> templates = test::ReadDialogTemplates(kInstaller);
  ASSERT_FALSE(templates.empty()) << "cannot read " << kInstaller;
  const auto find = [&templates](int id, DialogTemplate* t) {
    for (const DialogTemplate& each : templates) {
      if (each.id == id) *t = each;
    }
    return t->id == id;
  };
  for (const Dialog& d : ExpectedDialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(d.id));
    DialogTemplate t;
    ASSERT_TRUE(find(d.id, &t));
    EXPECT_EQ(test::Lower(t.class_name), d.page_class ? "kestinstdlg" : "");  // any case
    if (d.caption != nullptr) EXPECT_EQ(t.caption, d.caption);
    EXPECT_EQ(t.cx, d.cx);
    EXPECT_EQ(t.cy, d.cy);
    if (d.x != -1) {
      EXPECT_EQ(t.x, d.x);
      EXPECT_EQ(t.y, d.y);
    }
    EXPECT_EQ(t.style & d.style, d.style);
    EXPECT_EQ(t.font, d.font);
    EXPECT_EQ(t.points, d.points);
    if (d.id == 118 || d.id == 119) EXPECT_EQ(t.style, kErrorStyle | DS_SETFONT);

    for (const Control& c : d.controls) {
      SCOPED_TRACE("control " + std::to_string(c.id) + " " + (c.text != nullptr ? c.text : ""));
      const ControlTemplate* found = Find(t, c);
      ASSERT_NE(found, nullptr);
      EXPECT_EQ(found->class_ordinal, c.class_ordinal);
      if (c.text != nullptr) EXPECT_EQ(found->text, c.text);
      // The low bits of a static or a button name its kind; other bits are
      // flags that must be set.
      const DWORD kind_mask =
          c.class_ordinal == kStatic ? SS_TYPEMASK : c.class_ordinal == kButton ? BS_TYPEMASK : 0;
      if ((c.style & kind_mask) != 0) EXPECT_EQ(found->style & kind_mask, c.style & kind_mask);
      const DWORD flags = c.style & ~kind_mask;
      EXPECT_EQ(found->style & flags, flags);
      if (c.visible != -1) EXPECT_EQ((found->style & WS_VISIBLE) != 0, c.visible == 1);
      if (c.place.right != 0) {
        EXPECT_EQ(found->x, c.place.left);
        EXPECT_EQ(found->y, c.place.top);
        EXPECT_EQ(found->cx, c.place.right);
        EXPECT_EQ(found->cy, c.place.bottom);
      }
    }
    // The default button: the one the table names, and no other.
    for (const ControlTemplate& c : t.controls) {
      if (c.class_ordinal != kButton) continue;
      const bool is_default = (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      EXPECT_EQ(is_default, c.id == d.default_button) << "button " << c.id;
    }
    if (d.id == 118 || d.id == 119) {
      // Template 119 has no detail control: the dialog tells the two apart.
      bool has_detail = false;
      for (const ControlTemplate& c : t.controls) has_detail |= c.id == 1027;
      EXPECT_EQ(has_detail, d.id == 118);
    }
  }
  // The welcome page's separator is one unit high.
  DialogTemplate welcome;
  ASSERT_TRUE(find(101, &welcome));
  for (const ControlTemplate& c : welcome.controls) {
    if (c.id == 1030) EXPECT_EQ(c.cy, 1);
  }
}

}  // namespace
}  // namespace kest
