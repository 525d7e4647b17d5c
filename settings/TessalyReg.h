// A non-visual component that keeps an application's settings in the
// registry: one key per setting below a path made of group, company,
// application and (optionally) user, each holding one value of the same name.
#pragma once

#include <memory>
#include <string>

#include "toolkit/Classes.h"
#include "toolkit/Registry.h"
#include "toolkit/SysUtils.h"

namespace qv {

QV_DECLARE_EXCEPTION(ETessalyRegError, Exception);

enum class TRootKey {
  HKeyClassesRoot,
  HKeyCurrentUser,
  HKeyLocalMachine,
  HKeyUsers,
  HKeyPerformanceData,
  HKeyCurrentConfig,
  HKeyDynData,
};

// The predefined registry handle a root stands for.
HKey RootKeyHandle(TRootKey root);

class TTessalyReg : public TComponent {
 public:
  // Application starts as the application object's title at this moment.
  explicit TTessalyReg(TComponent* owner);
  ~TTessalyReg() override;

  bool Opened() const { return opened_; }
  void SetOpened(bool value);

  // Stored in this order: Application, AutoUser, Company, Group, RootKey, User.
  const std::string& Application() const { return application_; }
  void SetApplication(const std::string& value) { SetPathPart(kApplicationIndex, value); }
  bool AutoUser() const { return auto_user_; }
  void SetAutoUser(bool value);
  const std::string& Company() const { return company_; }
  void SetCompany(const std::string& value) { SetPathPart(kCompanyIndex, value); }
  const std::string& Group() const { return group_; }
  void SetGroup(const std::string& value) { SetPathPart(kGroupIndex, value); }
  TRootKey RootKey() const { return root_key_; }
  // Takes effect at the next opening.
  void SetRootKey(TRootKey value) { root_key_ = value; }
  const std::string& User() const { return user_; }
  // Ignored while AutoUser is on.
  void SetUser(const std::string& value) { SetPathPart(kUserIndex, value); }

  // "\Group\Company\Application\" plus "User\" when there is a user; empty
  // until the component is loaded or a path property is set.
  const std::string& KeyPath() const { return key_path_; }

  // A setting never written reads as 0 or the empty text. Reading while
  // closed raises ETessalyRegError; writing while closed does nothing.
  int ReadInteger(const std::string& name);
  std::string ReadString(const std::string& name);
  void WriteInteger(const std::string& name, int value);
  void WriteString(const std::string& name, const std::string& value);

 protected:
  void Loaded() override;

 private:
  enum PathPart { kApplicationIndex = 1, kCompanyIndex = 2, kGroupIndex = 3, kUserIndex = 4 };

  void SetPathPart(int index, const std::string& value);
  void ComposeKeyPath();
  static std::string CurrentLoginName();
  TRegistry& Registry();
  // Opens the setting's key for a read; false when it is missing or cannot be
  // opened, which callers take as a setting never written.
  bool OpenForRead(const std::string& name);
  void OpenForWrite(const std::string& name);

  bool opened_ = false;
  std::string application_;
  bool auto_user_ = false;
  std::string company_ = "Tessaly Software";
  std::string group_ = "Software";
  TRootKey root_key_ = TRootKey::HKeyCurrentUser;
  std::string user_;
  std::string key_path_;
  std::unique_ptr<TRegistry> registry_;
};

}  // namespace qv
