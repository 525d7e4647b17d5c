// TIconList: an ordered list of icons with an update bracket and a change
// event, stored in form data as the raw-data property "Icons".
#pragma once

#include <iosfwd>
#include <memory>
#include <vector>

#include "imaging/Icon.h"
#include "toolkit/Classes.h"

namespace qv {

class TIconList : public TObject {
 public:
  // The name of the raw-data property the list is stored under.
  static constexpr const char* kDataPropertyName = "Icons";
  // Form data holding more entries than this is refused as damaged.
  static constexpr int kMaxStoredIcons = 65536;

  TIconList();
  ~TIconList() override;

  int Count() const { return static_cast<int>(icons_.size()); }
  // The icon at `index` (an empty icon for an empty entry); raises EListError
  // out of range.
  TIcon& Icons(int index) const;

  // Appends a copy of `icon`; null appends an empty entry. Returns the index.
  int Add(const TIcon* icon);
  void Delete(int index);
  void Clear();
  void Assign(const TIconList& other);

  // Changes inside a bracket are told once, when the outermost bracket ends.
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  int UpdateCount() const { return updateCount_; }

  // The "Icons" data: a 32-bit count, then per entry a 32-bit byte length (0 for
  // an empty entry) and the icon in its file form. Reading replaces the list;
  // on failure the list keeps what it held and EReadError "Stream read error"
  // (or the icon's own error) is raised.
  void WriteData(std::ostream& out) const;
  void ReadData(std::istream& in);

  TNotifyEvent OnChange;

 private:
  void Changed();
  void CheckIndex(int index) const;

  std::vector<std::unique_ptr<TIcon>> icons_;
  int updateCount_ = 0;
  bool changedInUpdate_ = false;
};

}  // namespace qv
