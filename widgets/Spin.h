// A single-line numeric field whose value stays within a range.
#pragma once

#include <cstdint>

#include "toolkit/StdCtrls.h"

namespace qv {

class TSpinEdit : public TEdit {
 public:
  explicit TSpinEdit(TComponent* owner);

  std::int32_t MinValue() const { return minValue_; }
  void SetMinValue(std::int32_t v) { minValue_ = v; }
  std::int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int32_t v) { maxValue_ = v; }
  std::int32_t Increment() const { return increment_; }
  void SetIncrement(std::int32_t v) { increment_ = v; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool v) { editorEnabled_ = v; }

  // The text read as a whole number; an unreadable text reads as MinValue.
  std::int32_t Value() const;
  // Writes the clamped number; the text (and OnChange) changes only when it differs.
  void SetValue(std::int32_t v);
  // MinValue = MaxValue means no bounds.
  std::int32_t ClampValue(std::int64_t v) const;

  virtual bool AcceptsChar(char key) const;
  virtual void StepUp();
  virtual void StepDown();

 protected:
  void KeyDown(int& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void DoExit() override;

 private:
  std::int32_t minValue_ = 0;
  std::int32_t maxValue_ = 0;
  std::int32_t increment_ = 1;
  bool editorEnabled_ = true;
};

// Parses a 32-bit integer the way the field reads its text: leading blanks, then
// an optional sign and decimal digits, or "$" and up to eight hex digits.
bool ParseSpinValue(const std::string& text, std::int32_t& value);

}  // namespace qv
