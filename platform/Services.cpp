#include "platform/Services.h"

namespace qv::platform {

Services& Current() {
  static Services services;
  return services;
}

}  // namespace qv::platform
