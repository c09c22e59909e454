#include "base/command_line.h"

#include <cstring>

#include "base/ansi_chars.h"
#include "base/install_codes.h"
#include "base/install_options.h"
#include "base/text_limits.h"

namespace kest {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ','; }
bool IsSwitchChar(char c) { return c == '-' || c == '/' || c == '+'; }
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

const char* FindChar(const char* p, char wanted) {
  for (; *p != '\0'; p = NextAnsiChar(p)) {
    if (*p == wanted) return p;
  }
  return nullptr;
}

// Splits the text in place into tokens separated by runs of separators.
// Keeps its position in itself, so parsers never share tokenizer state.
class Tokenizer {
 public:
  explicit Tokenizer(char* text) : next_(text) {}
  char* Next() {
    while (*next_ != '\0' && IsSeparator(*next_)) next_ = NextAnsiChar(next_);
    if (*next_ == '\0') return nullptr;
    char* token = next_;
    while (*next_ != '\0' && !IsSeparator(*next_)) next_ = NextAnsiChar(next_);
    if (*next_ != '\0') {
      char* end = next_;
      next_ = NextAnsiChar(next_);
      *end = '\0';
    }
    return token;
  }

 private:
  char* next_;
};

// A quoted folder of 2 to 259 characters is taken out of the text; shorter
// or longer quoted parts stay where they are and become ordinary tokens.
// 259 rather than 260: the folder buffer must also hold the terminator.
constexpr size_t kQuotedMin = 2;
constexpr size_t kQuotedMax = kPathChars - 1;

}  // namespace

uint32_t ParseCommandLine(char* text, uint32_t* options, char* destination, char* context_text) {
  uint32_t bits = kUiLevelFull;
  uint32_t result = kSuccess;

  char* open = const_cast<char*>(FindChar(text, '"'));
  if (open != nullptr) {
    char* close = const_cast<char*>(FindChar(NextAnsiChar(open), '"'));
    if (close == nullptr) {
      *options = bits;
      return kCodeBadCommandLine;
    }
    size_t n = static_cast<size_t>(close - open - 1);
    if (n >= kQuotedMin && n <= kQuotedMax) {
      memcpy(destination, open + 1, n);
      destination[n] = '\0';
      memmove(open, close + 1, strlen(close + 1) + 1);
      bits = kUiLevelFull | kStateFolderGiven;
    }
  }

  Tokenizer tokens(text);
  for (char* token = tokens.Next(); token != nullptr && result == kSuccess; token = tokens.Next()) {
    if (!IsSwitchChar(*token)) {
      // A folder longer than the buffer is cut to it; the install sequence
      // refuses any destination over 210 characters before it installs, so
      // the cut folder is never used.
      CopyTextCut(destination, kPathChars, token);
      bits |= kStateFolderGiven;
      continue;
    }
    const char switch_char = *token;
    const char* letter = NextAnsiChar(token);
    const char* rest = NextAnsiChar(letter);
    uint32_t letter_bits = 0;
    switch (UpperAscii(*letter)) {
      case 'D': letter_bits = kOptionDeletePrereqs; break;
      case 'F': letter_bits = kOptionKeepFolder; break;
      case 'L': letter_bits = kOptionLogBit; break;
      case 'R': break;
      case 'I': {
        // "I value" only when the letter stands alone: "I:" and "I=" give
        // an empty text.
        const char* value = rest;
        if (*value == '\0') {
          value = tokens.Next();
        } else if (*value == ':' || *value == '=') {
          ++value;
        }
        if (value != nullptr && !CopyText(context_text, kPathChars, value)) {
          result = kCodeBadCommandLine;  // longer than the context text holds
        }
        break;
      }
      case 'N':
        if (*rest == '\0') {
          letter_bits = kOptionNoRegistration;
        } else if (*rest == 'P') {
          letter_bits = kOptionContextBit;
        } else {
          result = kCodeBadCommandLine;
        }
        break;
      case 'U':
        if (*rest == '\0') {
          bits &= ~kOptionUiLevelMask;
          letter_bits = kOptionUiLevelMask;
        } else if (*rest == '0') {
          bits &= ~kOptionUiLevelMask;
        } else {
          result = kCodeBadCommandLine;
        }
        break;
      default:  // unknown letter, or a switch character alone
        result = kCodeBadCommandLine;
        break;
    }
    if (result == kSuccess) {
      if (switch_char == '-') {
        bits &= ~letter_bits;
      } else {
        bits |= letter_bits;
      }
    }
  }
  *options = bits;
  return result;
}

}  // namespace kest
