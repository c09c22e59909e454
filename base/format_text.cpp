#include "base/format_text.h"

namespace kest {
namespace {

// Output position with a fixed capacity; writes past it are dropped.
class Output {
 public:
  Output(char* out, size_t size) : out_(out), limit_(size - 1) {}
  void Put(char c) {
    if (used_ < limit_) out_[used_++] = c;
  }
  size_t Finish() {
    out_[used_] = '\0';
    return used_;
  }

 private:
  char* out_;
  size_t limit_;
  size_t used_ = 0;
};

void PutNumber(Output& out, unsigned long value, bool negative, unsigned base, bool upper,
               unsigned width, bool zero_pad) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  char reversed[24];
  unsigned n = 0;
  do {
    reversed[n++] = digits[value % base];
    value /= base;
  } while (value != 0);
  unsigned length = n + (negative ? 1 : 0);
  if (negative && zero_pad) out.Put('-');
  for (; width > length; --width) out.Put(zero_pad ? '0' : ' ');
  if (negative && !zero_pad) out.Put('-');
  while (n > 0) out.Put(reversed[--n]);
}

}  // namespace

size_t FormatTextV(char* out_buffer, size_t size, const char* format, va_list args) {
  Output out(out_buffer, size);
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') {
      out.Put(*p);
      continue;
    }
    const char* start = p++;
    bool zero_pad = false;
    unsigned width = 0;
    if (*p == '0') {
      zero_pad = true;
      ++p;
    }
    while (*p >= '0' && *p <= '9' && width < 100) width = width * 10 + static_cast<unsigned>(*p++ - '0');
    bool is_long = false;
    if (*p == 'l') {
      is_long = true;
      ++p;
    }
    switch (*p) {
      case 's': {
        const char* text = va_arg(args, const char*);
        unsigned length = 0;
        for (const char* t = text; t != nullptr && *t != '\0'; ++t) ++length;
        for (; width > length; --width) out.Put(' ');
        for (const char* t = text; t != nullptr && *t != '\0'; ++t) out.Put(*t);
        break;
      }
      case 'c':
        out.Put(static_cast<char>(va_arg(args, int)));
        break;
      case 'd': {
        long value = is_long ? va_arg(args, long) : va_arg(args, int);
        unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value)
                                            : static_cast<unsigned long>(value);
        PutNumber(out, magnitude, value < 0, 10, false, width, zero_pad);
        break;
      }
      case 'u':
      case 'x':
      case 'X': {
        unsigned long value = is_long ? va_arg(args, unsigned long) : va_arg(args, unsigned);
        PutNumber(out, value, false, *p == 'u' ? 10 : 16, *p == 'X', width, zero_pad);
        break;
      }
      case '%':
        out.Put('%');
        break;
      default:  // not ours: copy the directive as written
        for (const char* q = start; q <= p && *q != '\0'; ++q) out.Put(*q);
        if (*p == '\0') --p;
        break;
    }
  }
  return out.Finish();
}

size_t FormatText(char* out, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  size_t n = FormatTextV(out, size, format, args);
  va_end(args);
  return n;
}

}  // namespace kest
