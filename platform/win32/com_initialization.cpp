#include "platform/win32/com_initialization.h"

#include <windows.h>
#include <objbase.h>

namespace tallowin::platform::win32 {

ComInitialization::ComInitialization(ComThreading threading)
    : apartment_(CoInitializeEx(nullptr, threading == ComThreading::Apartment
                                             ? COINIT_APARTMENTTHREADED
                                             : COINIT_MULTITHREADED)),
      security_(E_FAIL) {
  if (!ready()) return;
  // No security descriptor: the System Restore service runs as System, Local Service or
  // Network Service and must be able to call back. Packet privacy with impersonation and
  // dynamic cloaking is what System Restore clients are documented to use.
  security_ = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                   RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_DYNAMIC_CLOAKING,
                                   nullptr);
}

ComInitialization::~ComInitialization() {
  if (SUCCEEDED(apartment_)) CoUninitialize();
}

bool ComInitialization::ready() const {
  return SUCCEEDED(apartment_) || apartment_ == RPC_E_CHANGED_MODE;
}

}  // namespace tallowin::platform::win32
