// The ICMP wrapper and the host lookup component, with the address conversions
// of the sockets layer.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Icmp.h"
#include "platform/Resolver.h"
#include "toolkit/Classes.h"
#include "toolkit/SysUtils.h"

namespace qv {

// Not an address: all 32 bits set (also the value of 255.255.255.255).
inline constexpr std::uint32_t kInaddrNone = 0xFFFFFFFFu;

// The 32-bit address, in network byte order, of a dotted IPv4 text: one to four
// parts separated by dots, each decimal, octal (leading 0) or hexadecimal
// (leading 0x); in the short forms the last part fills the remaining bytes
// ("127.1" is 127.0.0.1). The text may end at a blank. Anything else, and an
// empty text, gives kInaddrNone.
std::uint32_t inet_addr(const std::string& text);
// The four-part dotted form of an address in network byte order.
std::string inet_ntoa(std::uint32_t address);

QV_DECLARE_EXCEPTION(TICMPException, Exception);

using TICMPDisplay = std::function<void(TObject* Sender, const std::string& Msg)>;
using TICMPEchoRequest = std::function<void(TObject* Sender)>;
using TICMPEchoReply = std::function<void(TObject* Sender, std::int32_t Error)>;

// Brings up the sockets layer and the echo facility for the process and holds
// the echo parameters. Construction raises TICMPException when either cannot be
// had, after undoing what it had set up.
class TICMP : public TObject {
 public:
  TICMP();
  ~TICMP() override;

  const std::string& Address() const { return address_; }
  // A different text resets the resolved address; the same text keeps it.
  void SetAddress(const std::string& value);
  // The numeric form of Address once resolved; 0 until then.
  std::uint32_t ResolvedIP() const { return resolvedIP_; }
  void SetResolvedIP(std::uint32_t value) { resolvedIP_ = value; }

  std::int32_t Size = 56;
  std::int32_t Timeout = 4000;
  std::int32_t TTL = 64;
  std::int32_t Flags = 0;

  platform::IcmpHandle Handle() const { return handle_; }

  TICMPDisplay OnDisplay;
  TICMPEchoRequest OnEchoRequest;
  TICMPEchoReply OnEchoReply;

 private:
  void Release();

  platform::IIcmpService* service_ = nullptr;
  bool socketsStarted_ = false;
  bool libraryLoaded_ = false;
  platform::IcmpHandle handle_ = platform::kInvalidIcmpHandle;
  std::string address_;
  std::uint32_t resolvedIP_ = 0;
};

using TDnsLookupDone = std::function<void(TObject* Sender, std::uint16_t Error)>;
using TPingDisplay = std::function<void(TObject* Sender, TObject* Icmp, const std::string& Msg)>;
using TPingReply = std::function<void(TObject* Sender, TObject* Icmp, std::int32_t Error)>;
using TPingRequest = std::function<void(TObject* Sender, TObject* Icmp)>;

// Turns a host name into a dotted IPv4 address without blocking the GUI thread
// and reports through OnDnsLookupDone. Owns the process's TICMP.
class TPing : public TComponent {
 public:
  explicit TPing(TComponent* owner);
  // Cancels a lookup in progress without reporting it: the owner that would
  // hear of it is being destroyed too.
  ~TPing() override;

  // Stored in the ICMP object.
  const std::string& Address() const { return icmp_->Address(); }
  void SetAddress(const std::string& value) { icmp_->SetAddress(value); }
  std::int32_t Size() const { return icmp_->Size; }
  void SetSize(std::int32_t value) { icmp_->Size = value; }
  std::int32_t Timeout() const { return icmp_->Timeout; }
  void SetTimeout(std::int32_t value) { icmp_->Timeout = value; }
  std::int32_t TTL() const { return icmp_->TTL; }
  void SetTTL(std::int32_t value) { icmp_->TTL = value; }
  std::int32_t Flags() const { return icmp_->Flags; }
  void SetFlags(std::int32_t value) { icmp_->Flags = value; }

  TICMP* Icmp() const { return icmp_.get(); }

  // Starts looking up `HostName`, forgetting any lookup still in progress. A
  // dotted address completes before this returns. Raises Exception when the
  // lookup cannot start.
  virtual void StartDnsLookup(const std::string& HostName);
  // Cancels the lookup in progress, reporting Error 10004. Raises Exception when
  // the cancel fails; the lookup then stays in progress.
  void AbortDnsLookup();

  // Dotted address of the last successful lookup; empty while one runs and
  // after a failed one.
  const std::string& ResolvedAddress() const { return resolvedAddress_; }
  bool LookupInProgress() const { return lookup_ != 0; }

  TDnsLookupDone OnDnsLookupDone;
  TPingRequest OnEchoRequest;
  TPingReply OnEchoReply;
  TPingDisplay OnDisplay;

 private:
  void LookupDone(platform::LookupId id, int error, const std::vector<std::uint32_t>& addresses);

  // The process's ICMP service, made with this component and gone with it.
  const std::unique_ptr<TICMP> icmp_;
  platform::IResolver* resolver_ = nullptr;  // the one that runs lookup_
  platform::LookupId lookup_ = 0;
  std::string resolvedAddress_;
};

}  // namespace qv
