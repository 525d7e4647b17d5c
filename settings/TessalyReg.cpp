#include "settings/TessalyReg.h"

#include <iterator>

#include "platform/Services.h"
#include "platform/SystemInfo.h"
#include "toolkit/Application.h"

namespace qv {

namespace {

// The application object's title; while it has none, the executable's file
// name without its extension, as an application is called until the program
// names it. An empty title would leave an empty level in every key path.
std::string DefaultApplicationTitle() {
  if (qv::Application != nullptr && !qv::Application->Title().empty()) return qv::Application->Title();
  const platform::ISystemInfo* system = platform::Current().system;
  if (system == nullptr) return {};
  std::string name = system->ExecutablePath();
  if (const size_t slash = name.find_last_of("/\\"); slash != std::string::npos) name.erase(0, slash + 1);
  if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

}  // namespace

HKey RootKeyHandle(TRootKey root) {
  const auto ordinal = static_cast<size_t>(root);
  return ordinal < std::size(platform::kHiveHandles) ? platform::kHiveHandles[ordinal]
                                                     : platform::kHkeyCurrentUser;
}

TTessalyReg::TTessalyReg(TComponent* owner) : TComponent(owner), application_(DefaultApplicationTitle()) {}

TTessalyReg::~TTessalyReg() {
  registry_.reset();
}

void TTessalyReg::Loaded() {
  TComponent::Loaded();
  if (!IsDesigning()) ComposeKeyPath();
}

void TTessalyReg::SetPathPart(int index, const std::string& value) {
  if (value.empty() && index != kUserIndex) throw ETessalyRegError("This property may not be empty");
  switch (index) {
    case kApplicationIndex: application_ = value; break;
    case kCompanyIndex: company_ = value; break;
    case kGroupIndex: group_ = value; break;
    case kUserIndex:
      if (!auto_user_) user_ = value;
      break;
    default: break;
  }
  ComposeKeyPath();
}

void TTessalyReg::SetAutoUser(bool value) {
  if (value == auto_user_) return;
  auto_user_ = value;
  // Also when switching off: the login name is then the starting value of User.
  user_ = CurrentLoginName();
  ComposeKeyPath();
}

void TTessalyReg::SetOpened(bool value) {
  if (value == opened_) return;
  opened_ = value;
  if (IsDesigning()) return;
  if (value) {
    registry_ = std::make_unique<TRegistry>();
    registry_->SetRootKey(RootKeyHandle(root_key_));
  } else {
    registry_.reset();
  }
}

void TTessalyReg::ComposeKeyPath() {
  key_path_ = "\\" + group_ + "\\" + company_ + "\\" + application_ + "\\";
  if (!user_.empty()) key_path_ += user_ + "\\";
}

std::string TTessalyReg::CurrentLoginName() {
  const platform::ISystemInfo* system = platform::Current().system;
  if (system != nullptr) {
    // An empty name would silently drop the user level and share one user's
    // settings with everybody's; it counts as no name.
    if (std::optional<std::string> name = system->LoginName(); name && !name->empty()) return *name;
  }
  return "Unknown";
}

TRegistry& TTessalyReg::Registry() {
  if (!registry_) throw ETessalyRegError("Registry not opened");
  return *registry_;
}

bool TTessalyReg::OpenForRead(const std::string& name) {
  TRegistry& registry = Registry();
  const std::string key = key_path_ + name;
  // A key that vanished or refused us between the two calls must not leave the
  // read to the previous setting's key.
  return registry.KeyExists(key) && registry.OpenKey(key, false);
}

void TTessalyReg::OpenForWrite(const std::string& name) {
  // Writing into whatever key happens to be current would store the setting
  // in the wrong place; the callers expect a failed write to raise.
  if (!Registry().OpenKey(key_path_ + name, true))
    throw ERegistryException("Failed to set data for '" + name + "'");
}

int TTessalyReg::ReadInteger(const std::string& name) {
  if (!OpenForRead(name)) return 0;
  return registry_->ReadInteger(name);
}

std::string TTessalyReg::ReadString(const std::string& name) {
  std::string result;
  if (OpenForRead(name)) result = registry_->ReadString(name);
  return result;
}

void TTessalyReg::WriteInteger(const std::string& name, int value) {
  if (!opened_) return;
  OpenForWrite(name);
  registry_->WriteInteger(name, value);
}

void TTessalyReg::WriteString(const std::string& name, const std::string& value) {
  if (!opened_) return;
  OpenForWrite(name);
  registry_->WriteString(name, value);
}

}  // namespace qv
