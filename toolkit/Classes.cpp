#include "toolkit/Classes.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>

namespace qv {

std::string ClassNameOf(const TObject& object) {
  const char* mangled = typeid(object).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = (status == 0 && demangled != nullptr) ? demangled : mangled;
  std::free(demangled);
  const auto colon = name.rfind("::");
  return colon == std::string::npos ? name : name.substr(colon + 2);
}

TComponent::TComponent(TComponent* owner) {
  if (owner != nullptr) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  state_ |= csDestroying;
  // Owned components are destroyed newest first, so that a component never
  // outlives one it was created after and may refer to.
  while (!components_.empty()) {
    TComponent* last = components_.back();
    delete last;  // its destructor removes it from components_
  }
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::SetDesigning(bool on) {
  if (on)
    state_ |= csDesigning;
  else
    state_ &= ~static_cast<unsigned>(csDesigning);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  for (TComponent* c : components_)
    if (c->name_ == name) return c;
  return nullptr;
}

void TComponent::BeginLoading() {
  state_ |= csLoading;
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
  // Copy: a Loaded() override may create components of its own.
  const std::vector<TComponent*> owned = components_;
  for (TComponent* c : owned) c->EndLoading();
  if (IsLoading()) Loaded();
}

void TComponent::Loaded() {
  state_ &= ~static_cast<unsigned>(csLoading);
}

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::InsertComponent(TComponent* component) {
  component->owner_ = this;
  components_.push_back(component);
  // Made while its owner loads, as a stored component is: it gets its Loaded() too.
  if (IsLoading()) component->BeginLoading();
  for (TComponent* c : components_)
    if (c != component) c->Notification(component, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  components_.erase(it);
  component->owner_ = nullptr;
  if (!IsDestroying())
    for (TComponent* c : components_) c->Notification(component, TOperation::opRemove);
}

// ---------------------------------------------------------------------------

TStringList::TStringList(std::initializer_list<std::string> lines) : lines_(lines) {}

const std::string& TStringList::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return lines_[static_cast<size_t>(index)];
}

void TStringList::SetStrings(int index, std::string value) {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  lines_[static_cast<size_t>(index)] = std::move(value);
  Changed();
}

int TStringList::Add(std::string line) {
  lines_.push_back(std::move(line));
  Changed();
  return Count() - 1;
}

void TStringList::Insert(int index, std::string line) {
  if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", index));
  lines_.insert(lines_.begin() + index, std::move(line));
  Changed();
}

void TStringList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  lines_.erase(lines_.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (lines_.empty()) return;
  lines_.clear();
  Changed();
}

int TStringList::IndexOf(const std::string& line) const {
  const std::string wanted = LowerCase(line);
  for (size_t i = 0; i < lines_.size(); ++i)
    if (LowerCase(lines_[i]) == wanted) return static_cast<int>(i);
  return -1;
}

void TStringList::Assign(const TStringList& other) {
  lines_ = other.lines_;
  Changed();
}

std::string TStringList::Text() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l;
    out += "\r\n";
  }
  return out;
}

void TStringList::SetText(const std::string& text) {
  lines_.clear();
  std::string current;
  bool pending = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines_.push_back(current);
      current.clear();
      pending = false;
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
      pending = true;
    }
  }
  if (pending) lines_.push_back(current);
  Changed();
}

void TStringList::Changed() {
  if (OnChange) OnChange(this);
}

}  // namespace qv
