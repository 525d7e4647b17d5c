#include "net/Ping.h"

#include <cstring>

#include "platform/Services.h"

namespace qv {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The address bytes in the order they go on the wire, whatever the host's order.
std::uint32_t FromWireBytes(std::uint32_t hostOrder) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(hostOrder >> 24), static_cast<unsigned char>(hostOrder >> 16),
      static_cast<unsigned char>(hostOrder >> 8), static_cast<unsigned char>(hostOrder)};
  std::uint32_t address;
  std::memcpy(&address, bytes, sizeof address);
  return address;
}

constexpr std::uint16_t kWsaEintr16 = static_cast<std::uint16_t>(platform::kWsaEintr);

}  // namespace

std::uint32_t inet_addr(const std::string& text) {
  const char* p = text.c_str();
  std::uint64_t parts[4];
  int count = 0;
  for (;;) {
    if (!IsDigit(*p)) return kInaddrNone;
    int base = 10;
    if (*p == '0') {
      ++p;
      if (*p == 'x' || *p == 'X') {
        base = 16;
        ++p;
      } else {
        base = 8;
      }
    }
    std::uint64_t value = 0;
    for (;; ++p) {
      int digit;
      if (base == 16) {
        digit = HexValue(*p);
      } else if (IsDigit(*p)) {
        digit = *p - '0';
        if (digit >= base) return kInaddrNone;  // 8 or 9 in an octal part
      } else {
        digit = -1;
      }
      if (digit < 0) break;
      value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
      if (value > 0xFFFFFFFFu) return kInaddrNone;
    }
    parts[count++] = value;
    if (*p != '.') break;
    if (count == 4) return kInaddrNone;
    ++p;
  }
  if (*p != '\0' && !IsBlank(*p)) return kInaddrNone;

  // The last part fills the bytes the earlier ones leave.
  std::uint64_t limit = 0xFFFFFFFFu >> (8 * (count - 1));
  if (parts[count - 1] > limit) return kInaddrNone;
  std::uint32_t hostOrder = static_cast<std::uint32_t>(parts[count - 1]);
  for (int i = 0; i < count - 1; ++i) {
    if (parts[i] > 0xFF) return kInaddrNone;
    hostOrder |= static_cast<std::uint32_t>(parts[i]) << (24 - 8 * i);
  }
  return FromWireBytes(hostOrder);
}

std::string inet_ntoa(std::uint32_t address) {
  unsigned char bytes[4];
  std::memcpy(bytes, &address, sizeof bytes);
  return Format("%u.%u.%u.%u", bytes[0], bytes[1], bytes[2], bytes[3]);
}

// ---------------------------------------------------------------------------

TICMP::TICMP() {
  service_ = platform::Current().icmp;
  // Without an echo service the sockets layer has nothing to start; the
  // missing service is reported as the missing library below.
  if (service_ != nullptr) {
    if (service_->Startup() != 0) throw TICMPException("Error initialising Winsock");
    socketsStarted_ = true;
  }
  const platform::IcmpLibrary library =
      service_ != nullptr ? service_->Load() : platform::IcmpLibrary::kNotFound;
  if (library == platform::IcmpLibrary::kNotFound) {
    Release();
    throw TICMPException("Unable to register icmp.dll");
  }
  libraryLoaded_ = true;
  if (library == platform::IcmpLibrary::kEntryPointsMissing) {
    Release();
    throw TICMPException("Error loading dll functions");
  }
  std::uint32_t error = 0;
  handle_ = service_->OpenHandle(error);
  if (handle_ == platform::kInvalidIcmpHandle) {
    Release();
    throw TICMPException("Unable to get ping handle");
  }
}

TICMP::~TICMP() {
  Release();
}

void TICMP::Release() {
  if (handle_ != platform::kInvalidIcmpHandle) service_->CloseHandle(handle_);
  handle_ = platform::kInvalidIcmpHandle;
  if (libraryLoaded_) service_->Unload();
  libraryLoaded_ = false;
  if (socketsStarted_) service_->Cleanup();
  socketsStarted_ = false;
}

void TICMP::SetAddress(const std::string& value) {
  if (value == address_) return;
  address_ = value;
  resolvedIP_ = 0;
}

// ---------------------------------------------------------------------------

TPing::TPing(TComponent* owner) : TComponent(owner), icmp_(std::make_unique<TICMP>()) {
  icmp_->OnDisplay = [this](TObject*, const std::string& msg) {
    if (OnDisplay) OnDisplay(this, icmp_.get(), msg);
  };
  icmp_->OnEchoRequest = [this](TObject*) {
    if (OnEchoRequest) OnEchoRequest(this, icmp_.get());
  };
  icmp_->OnEchoReply = [this](TObject*, std::int32_t error) {
    if (OnEchoReply) OnEchoReply(this, icmp_.get(), error);
  };
}

TPing::~TPing() {
  // Reporting the cancel from here would call into an owner that may be half
  // destroyed; a failed cancel cannot be acted on either. Either way the
  // resolver must never call back into this object again.
  if (lookup_ != 0 && resolver_ != nullptr) resolver_->CancelLookup(lookup_);
  lookup_ = 0;
}

void TPing::StartDnsLookup(const std::string& HostName) {
  if (lookup_ != 0) {
    resolver_->CancelLookup(lookup_);  // forgotten whatever the outcome
    lookup_ = 0;
  }
  resolvedAddress_.clear();

  const std::uint32_t address = inet_addr(HostName);
  if (address != kInaddrNone) {
    resolvedAddress_ = inet_ntoa(address);
    if (OnDnsLookupDone) OnDnsLookupDone(this, 0);
    return;
  }

  platform::IResolver* resolver = platform::Current().resolver;
  int error = platform::kWsaNotInitialised;
  platform::LookupId id = 0;
  if (resolver != nullptr)
    id = resolver->StartLookup(
        HostName,
        [this](platform::LookupId done, int result, const std::vector<std::uint32_t>& addresses) {
          LookupDone(done, result, addresses);
        },
        error);
  if (id == 0) throw Exception(Format("%s: can't start DNS lookup, error #%d", HostName.c_str(), error));
  resolver_ = resolver;
  lookup_ = id;
}

void TPing::AbortDnsLookup() {
  if (lookup_ == 0) return;
  const int result = resolver_->CancelLookup(lookup_);
  if (result != 0) throw Exception(Format("WSACancelAsyncRequest failed, error #%d", result));
  lookup_ = 0;
  if (OnDnsLookupDone) OnDnsLookupDone(this, kWsaEintr16);
}

void TPing::LookupDone(platform::LookupId id, int error, const std::vector<std::uint32_t>& addresses) {
  if (id != lookup_) return;  // forgotten or foreign
  lookup_ = 0;
  if (error == 0 && addresses.empty()) error = platform::kWsaNoData;
  if (error == 0) resolvedAddress_ = inet_ntoa(addresses.front());
  if (OnDnsLookupDone) OnDnsLookupDone(this, static_cast<std::uint16_t>(error));
}

}  // namespace qv
