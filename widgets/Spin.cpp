#include "widgets/Spin.h"

#include <climits>

#include "platform/Dialogs.h"
#include "platform/Services.h"

namespace qv {

namespace {
constexpr int kVkUp = 0x26;
constexpr int kVkDown = 0x28;

void DefaultBeep() {
  if (platform::Current().dialogs != nullptr) platform::Current().dialogs->Beep();
}
}  // namespace

bool ParseSpinValue(const std::string& text, std::int32_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i >= text.size()) return false;
  if (text[i] == '$') {
    ++i;
    const size_t digits = text.size() - i;
    if (digits == 0 || digits > 8) return false;
    std::uint32_t v = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        return false;
      v = v * 16 + static_cast<std::uint32_t>(d);
    }
    value = static_cast<std::int32_t>(v);
    return true;
  }
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size()) return false;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > static_cast<std::int64_t>(INT_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT_MAX || v < INT_MIN) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

TSpinEdit::TSpinEdit(TComponent* owner) : TEdit(owner) {
  SetText("0");
}

std::int32_t TSpinEdit::Value() const {
  std::int32_t v = 0;
  return ParseSpinValue(Text(), v) ? v : minValue_;
}

std::int32_t TSpinEdit::ClampValue(std::int64_t v) const {
  if (minValue_ == maxValue_) return static_cast<std::int32_t>(v);
  if (v < minValue_) return minValue_;
  if (v > maxValue_) return maxValue_;
  return static_cast<std::int32_t>(v);
}

void TSpinEdit::SetValue(std::int32_t v) {
  SetText(IntToStr(ClampValue(v)));
}

bool TSpinEdit::AcceptsChar(char key) const {
  const auto code = static_cast<unsigned char>(key);
  bool ok = (key >= '0' && key <= '9') || key == '+' || key == '-' || key == '.' || (code < 32 && code != 13);
  if (!editorEnabled_ && (code >= 32 || code == 8)) ok = false;
  return ok;
}

void TSpinEdit::StepUp() {
  if (ReadOnly()) {
    DefaultBeep();
    return;
  }
  SetValue(ClampValue(static_cast<std::int64_t>(Value()) + increment_));
}

void TSpinEdit::StepDown() {
  if (ReadOnly()) {
    DefaultBeep();
    return;
  }
  SetValue(ClampValue(static_cast<std::int64_t>(Value()) - increment_));
}

void TSpinEdit::KeyDown(int& key, TShiftState shift) {
  if (key == kVkUp) {
    StepUp();
    key = 0;
  } else if (key == kVkDown) {
    StepDown();
    key = 0;
  }
  TEdit::KeyDown(key, shift);
}

void TSpinEdit::KeyPress(char& key) {
  if (!AcceptsChar(key)) {
    key = 0;
    DefaultBeep();
  }
  TEdit::KeyPress(key);
}

void TSpinEdit::DoExit() {
  TEdit::DoExit();
  if (ClampValue(Value()) != Value()) SetValue(Value());
}

}  // namespace qv
