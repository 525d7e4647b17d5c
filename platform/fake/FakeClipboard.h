// An in-memory clipboard for tests: formats and their data, nothing shared
// with the desktop.
#pragma once

#include <map>
#include <string>

#include "platform/Clipboard.h"

namespace qv::platform {

class FakeClipboard : public IClipboard {
 public:
  unsigned RegisterFormat(const std::string& name) override;
  bool HasFormat(unsigned format) const override;
  std::optional<std::vector<std::uint8_t>> GetData(unsigned format) const override;
  void Clear() override;
  void SetData(unsigned format, std::vector<std::uint8_t> data) override;

  // How many times the content was replaced (Clear calls).
  int ClearCount() const { return clearCount_; }
  int FormatCount() const { return static_cast<int>(content_.size()); }

 private:
  std::map<std::string, unsigned> names_;
  std::map<unsigned, std::vector<std::uint8_t>> content_;
  int clearCount_ = 0;
};

}  // namespace qv::platform
