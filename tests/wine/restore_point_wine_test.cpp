// COM start-up on a real system.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <thread>

#include "platform/win32/com_initialization.h"

namespace tallowin {
namespace {

using platform::win32::ComInitialization;

// Each case on a thread of its own: COM state belongs to a thread, and the test
// thread's must not leak into the case (or out of it).
void OnFreshThread(const std::function<void()>& body) { std::thread(body).join(); }

// What CoInitializeEx says about the calling thread, undone at once: S_OK when the
// thread had no COM, S_FALSE when it was already in that model, RPC_E_CHANGED_MODE
// when it was in the other.
HRESULT ProbeApartment(DWORD model) {
  const HRESULT hr = CoInitializeEx(nullptr, model);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr;
}

TEST(ComInitialization, SetsUpTheThreadAndToleratesSecuritySetBefore) {
  OnFreshThread([] {
    {
      const ComInitialization first;
      EXPECT_TRUE(first.ready());
      std::cout << "[ com      ] CoInitializeSecurity: 0x" << std::hex << first.securityResult()
                << std::dec << "\n";
      // Earlier tests may have used COM in this process already: too late is no failure.
      EXPECT_TRUE(SUCCEEDED(first.securityResult()) || first.securityResult() == RPC_E_TOO_LATE);
      EXPECT_EQ(ProbeApartment(COINIT_APARTMENTTHREADED), S_FALSE) << "not single-threaded";
      {
        const ComInitialization second;
        EXPECT_TRUE(second.ready());
        std::cout << "[ com      ] again: 0x" << std::hex << second.securityResult() << std::dec
                  << "\n";
        EXPECT_TRUE(SUCCEEDED(second.securityResult()) ||
                    second.securityResult() == RPC_E_TOO_LATE);
      }
      EXPECT_EQ(ProbeApartment(COINIT_APARTMENTTHREADED), S_FALSE)
          << "the second object undid the first one's COM";
    }
    EXPECT_EQ(ProbeApartment(COINIT_APARTMENTTHREADED), S_OK) << "COM left initialised";
  });
}

TEST(ComInitialization, KeepsAThreadThatAlreadyRunsTheOtherModel) {
  OnFreshThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      const ComInitialization com;
      EXPECT_TRUE(com.ready());
    }
    EXPECT_EQ(ProbeApartment(COINIT_MULTITHREADED), S_FALSE) << "the thread's own COM was undone";
    CoUninitialize();
  });
}

}  // namespace
}  // namespace tallowin
