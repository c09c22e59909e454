#include "tests/ui/dialog_template.h"

#include "tests/support/win32_test_support.h"

namespace kest::test {
namespace {

// Reads a DLGTEMPLATE (not the extended form) with its items. Every read is
// checked against the resource's size.
class TemplateReader {
 public:
  TemplateReader(const BYTE* data, size_t size) : data_(data), size_(size) {}
  bool Word(WORD* w) {
    if (at_ + 2 > size_) return false;
    *w = WORD(data_[at_] | data_[at_ + 1] << 8);
    at_ += 2;
    return true;
  }
  bool Dword(DWORD* d) {
    WORD low = 0, high = 0;
    if (!Word(&low) || !Word(&high)) return false;
    *d = DWORD(low) | DWORD(high) << 16;
    return true;
  }
  bool Short(short* s) {
    WORD w = 0;
    if (!Word(&w)) return false;
    *s = short(w);
    return true;
  }
  bool Skip(size_t n) {
    if (at_ + n > size_) return false;
    at_ += n;
    return true;
  }
  void Align4() { at_ = (at_ + 3) & ~size_t(3); }
  // A name or an ordinal: *ordinal is set (and text left empty) for the
  // 0xFFFF form.
  bool NameOrOrdinal(std::string* text, WORD* ordinal) {
    WORD w = 0;
    if (!Word(&w)) return false;
    if (w == 0xFFFF) return Word(ordinal);
    while (w != 0) {
      text->push_back(char(w < 0x80 ? w : '?'));
      if (!Word(&w)) return false;
    }
    return true;
  }

 private:
  const BYTE* data_;
  size_t size_;
  size_t at_ = 0;
};

}  // namespace

bool ParseDialogTemplate(const BYTE* data, size_t size, DialogTemplate* t) {
  TemplateReader r(data, size);
  DWORD extended_style = 0;
  WORD count = 0, ordinal = 0;
  std::string menu;
  if (!r.Dword(&t->style) || !r.Dword(&extended_style) || !r.Word(&count) || !r.Short(&t->x) ||
      !r.Short(&t->y) || !r.Short(&t->cx) || !r.Short(&t->cy) ||
      !r.NameOrOrdinal(&menu, &ordinal) || !r.NameOrOrdinal(&t->class_name, &ordinal) ||
      !r.NameOrOrdinal(&t->caption, &ordinal)) {
    return false;
  }
  if (HIWORD(t->style) == 0xFFFF) return false;  // the extended form
  if ((t->style & DS_SETFONT) != 0 &&
      (!r.Word(&t->points) || !r.NameOrOrdinal(&t->font, &ordinal))) {
    return false;
  }
  for (WORD i = 0; i < count; ++i) {
    ControlTemplate c;
    WORD id = 0, extra = 0, text_ordinal = 0;
    std::string class_name;
    r.Align4();
    if (!r.Dword(&c.style) || !r.Dword(&extended_style) || !r.Short(&c.x) || !r.Short(&c.y) ||
        !r.Short(&c.cx) || !r.Short(&c.cy) || !r.Word(&id) ||
        !r.NameOrOrdinal(&class_name, &c.class_ordinal) ||
        !r.NameOrOrdinal(&c.text, &text_ordinal) || !r.Word(&extra) || !r.Skip(extra)) {
      return false;
    }
    if (text_ordinal != 0) c.text = "#" + std::to_string(text_ordinal);
    // A predefined class may also be named by its text.
    const struct {
      const char* name;
      WORD ordinal;
    } named[] = {{"button", kButtonClass}, {"edit", kEditClass},         {"static", kStaticClass},
                 {"listbox", kListBoxClass}, {"combobox", kComboBoxClass}};
    for (const auto& n : named) {
      if (test::Lower(class_name) == n.name) c.class_ordinal = n.ordinal;
    }
    c.id = short(id);
    t->controls.push_back(c);
  }
  return true;
}

namespace {

BOOL CALLBACK AddDialogName(HMODULE module, LPCSTR, LPSTR name, LONG_PTR list) {
  if (!IS_INTRESOURCE(name)) return TRUE;
  HRSRC found = FindResourceA(module, name, reinterpret_cast<LPCSTR>(RT_DIALOG));
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  if (loaded == nullptr) return TRUE;
  DialogTemplate t;
  t.id = int(reinterpret_cast<ULONG_PTR>(name));
  if (ParseDialogTemplate(static_cast<const BYTE*>(LockResource(loaded)),
                    SizeofResource(module, found), &t)) {
    reinterpret_cast<std::vector<DialogTemplate>*>(list)->push_back(t);
  }
  return TRUE;
}

}  // namespace

std::vector<DialogTemplate> ReadDialogTemplates(const std::string& image_path) {
  std::vector<DialogTemplate> templates;
  HMODULE image = LoadLibraryExA(image_path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (image == nullptr) return templates;
  EnumResourceNamesA(image, reinterpret_cast<LPCSTR>(RT_DIALOG), AddDialogName,
                     reinterpret_cast<LONG_PTR>(&templates));
  FreeLibrary(image);
  return templates;
}


}  // namespace kest::test
