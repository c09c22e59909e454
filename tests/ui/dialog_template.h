// The dialog templates of a Windows image, read through the resource API:
// what the tests know a dialog by, and what they check its layout against.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace kest::test {

// Predefined control classes of a template, by their ordinal. A class
// named by its text ("Static", any case) is given its ordinal too.
inline constexpr WORD kButtonClass = 0x80;
inline constexpr WORD kEditClass = 0x81;
inline constexpr WORD kStaticClass = 0x82;
inline constexpr WORD kListBoxClass = 0x83;
inline constexpr WORD kComboBoxClass = 0x85;

struct ControlTemplate {
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  int id = 0;                          // -1 for the unnumbered statics
  WORD class_ordinal = 0;              // 0: a class of no predefined kind
  std::string text;                    // "#<n>" for a resource ordinal
};

struct DialogTemplate {
  int id = 0;
  DWORD style = 0;
  short x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::string class_name;              // as stored ("" for the default class)
  std::string caption;
  WORD points = 0;  // the font, when DS_SETFONT
  std::string font;
  std::vector<ControlTemplate> controls;
};

// Parses a DLGTEMPLATE (not the extended form) of size bytes; every read
// is checked against the size. False when it does not parse.
bool ParseDialogTemplate(const BYTE* data, size_t size, DialogTemplate* t);

// Every template of the image file (loaded as data) that parses.
std::vector<DialogTemplate> ReadDialogTemplates(const std::string& image_path);

}  // namespace kest::test
