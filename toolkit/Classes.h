// Components with owners, the loading bracket, and string lists.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "toolkit/SysUtils.h"

namespace qv {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;
};

// The object's class name as messages show it: without namespaces.
std::string ClassNameOf(const TObject& object);

// An event handler: a callable whose first argument is the component that fires it.
using TNotifyEvent = std::function<void(TObject* Sender)>;

enum class TOperation { opInsert, opRemove };

// Component state flags.
enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csDesigning = 1u << 1,
  csDestroying = 1u << 2,
};

class TComponent : public TObject {
 public:
  explicit TComponent(TComponent* owner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  unsigned ComponentState() const { return state_; }
  bool IsLoading() const { return (state_ & csLoading) != 0; }
  bool IsDesigning() const { return (state_ & csDesigning) != 0; }
  bool IsDestroying() const { return (state_ & csDestroying) != 0; }
  // Design mode is never entered by the running program; tests use it to check
  // that components stay passive while designed.
  void SetDesigning(bool on);

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  TComponent* FindComponent(const std::string& name) const;

  // The loading bracket: the layout code calls BeginLoading on the form, sets the
  // stored properties of every component in their stored order, then EndLoading,
  // which calls Loaded() on each owned component (in creation order) and on the
  // form itself.
  void BeginLoading();
  void EndLoading();

 protected:
  // Called once all stored properties have been set; clears the loading flag.
  virtual void Loaded();
  // Told when a component owned by the same owner is inserted or removed.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  TComponent* owner_ = nullptr;
  std::string name_;
  unsigned state_ = 0;
  std::vector<TComponent*> components_;
};

// An ordered list of strings with an optional change notification.
class TStringList : public TObject {
 public:
  TStringList() = default;
  TStringList(std::initializer_list<std::string> lines);

  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& Strings(int index) const;
  void SetStrings(int index, std::string value);
  const std::string& operator[](int index) const { return Strings(index); }

  int Add(std::string line);
  void Insert(int index, std::string line);
  void Delete(int index);
  void Clear();
  int IndexOf(const std::string& line) const;
  void Assign(const TStringList& other);

  // Lines joined with CR LF after each line; SetText splits at CR LF, LF or CR.
  std::string Text() const;
  void SetText(const std::string& text);

  const std::vector<std::string>& Lines() const { return lines_; }

  TNotifyEvent OnChange;

 private:
  void Changed();
  std::vector<std::string> lines_;
};

}  // namespace qv
