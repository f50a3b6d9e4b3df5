#pragma once
// COM for a program's main thread, with the process-wide security that System Restore
// needs: its service calls back into the process that asks for a restore point, and
// COM's default security would refuse those calls. Created first thing in main, before
// anything else can use COM (security can be set only once, before the first
// marshalling), and destroyed last.

namespace tallowin::platform::win32 {

enum class ComThreading {
  // A thread with windows and a message loop (the GUI program).
  Apartment,
  // A thread without a message loop (the console program). A single-threaded apartment
  // would also make a hidden window, and under Wine that opens the display, which
  // rewrites display driver keys in the registry.
  Multithreaded,
};

class ComInitialization {
 public:
  explicit ComInitialization(ComThreading threading);
  ~ComInitialization();
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;

  // COM is usable on this thread (also when it was already, in another apartment model).
  bool ready() const;
  // The HRESULT of CoInitializeSecurity. Not fatal when it failed: RPC_E_TOO_LATE means
  // security was already set (or COM already set the defaults); only restore points can
  // suffer from that.
  long securityResult() const { return security_; }

 private:
  long apartment_;  // HRESULT of CoInitializeEx
  long security_;
};

}  // namespace tallowin::platform::win32
