// System Restore and COM start-up on a real system. Wine has SrClient.dll, but its
// SRSetRestorePointA refuses every call, so no restore point is ever begun here.

#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <thread>

#include "platform/win32/com_initialization.h"
#include "platform/win32/win32_platform.h"
#include "repair/restore_point.h"

namespace tallowin {
namespace {

using platform::RestorePointResult;
using platform::win32::ComInitialization;
using platform::win32::ComThreading;

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

const char* Name(RestorePointResult result) {
  return result == RestorePointResult::Created  ? "Created"
         : result == RestorePointResult::Failed ? "Failed"
                                                : "Unavailable";
}

TEST(Win32RestorePoint, BeginIsRefusedAndNothingIsLeftToEnd) {
  platform::win32::Win32Machine machine;
  const platform::RestorePointStart start =
      machine.platform().restorePoint.Create(kRestorePointDescription);
  std::cout << "[ restore  ] begin: " << Name(start.result) << "\n";
  EXPECT_NE(start.result, RestorePointResult::Created);
  EXPECT_EQ(start.sequence, 0);
  // The end call is built and made the same way; Wine refuses it as well.
  EXPECT_FALSE(machine.platform().restorePoint.End(1, /*cancelled=*/true));
}

TEST(Win32RestorePoint, CallsLeaveTheThreadsComAsTheyFoundIt) {
  const struct {
    const char* label;
    bool initialise;
    DWORD model;
  } cases[] = {{"no COM (the worker thread)", false, 0},
               {"single-threaded apartment (the main thread)", true, COINIT_APARTMENTTHREADED},
               {"multi-threaded apartment", true, COINIT_MULTITHREADED}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    OnFreshThread([&] {
      if (c.initialise) {
        ASSERT_EQ(CoInitializeEx(nullptr, c.model), S_OK);
      }
      platform::win32::Win32Machine machine;
      platform::RestorePointService& service = machine.platform().restorePoint;
      EXPECT_NE(service.Create(kRestorePointDescription).result, RestorePointResult::Created);
      EXPECT_FALSE(service.End(1, /*cancelled=*/false));
      if (!c.initialise) {
        EXPECT_EQ(ProbeApartment(COINIT_MULTITHREADED), S_OK) << "COM left initialised";
        return;
      }
      EXPECT_EQ(ProbeApartment(c.model), S_FALSE) << "the thread's own COM was undone";
      CoUninitialize();
      EXPECT_EQ(ProbeApartment(c.model), S_OK);
    });
  }
}

TEST(Win32RestorePoint, RefusedBeginGoesThroughTheQuestion) {
  platform::win32::Win32Machine machine;
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    int questions = 0;
    const RestorePointAnswer answer =
        CreateRestorePointAndAsk(machine.platform().restorePoint, [&] {
          ++questions;
          return yes;
        });
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(answer.result, yes ? ModalResult::Ok : ModalResult::Cancel);
    EXPECT_FALSE(answer.change.open());
  }
}

const struct ComCase {
  const char* label;
  ComThreading threading;
  DWORD model;  // what the object makes of the thread
  DWORD other;
} kComCases[] = {
    {"apartment", ComThreading::Apartment, COINIT_APARTMENTTHREADED, COINIT_MULTITHREADED},
    {"multithreaded", ComThreading::Multithreaded, COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED},
};

TEST(ComInitialization, SetsUpTheThreadAndToleratesSecuritySetBefore) {
  for (const ComCase& c : kComCases) {
    SCOPED_TRACE(c.label);
    OnFreshThread([&] {
      {
        const ComInitialization first(c.threading);
        EXPECT_TRUE(first.ready());
        std::cout << "[ com      ] CoInitializeSecurity: 0x" << std::hex << first.securityResult()
                  << std::dec << "\n";
        // Earlier cases and tests have set it or used COM already: too late is no failure.
        EXPECT_TRUE(SUCCEEDED(first.securityResult()) || first.securityResult() == RPC_E_TOO_LATE);
        EXPECT_EQ(ProbeApartment(c.model), S_FALSE) << "not in the model asked for";
        {
          const ComInitialization second(c.threading);
          EXPECT_TRUE(second.ready());
          EXPECT_TRUE(SUCCEEDED(second.securityResult()) ||
                      second.securityResult() == RPC_E_TOO_LATE);
        }
        EXPECT_EQ(ProbeApartment(c.model), S_FALSE) << "the second object undid the first one's COM";
      }
      EXPECT_EQ(ProbeApartment(c.model), S_OK) << "COM left initialised";
    });
  }
}

TEST(ComInitialization, KeepsAThreadThatAlreadyRunsTheOtherModel) {
  for (const ComCase& c : kComCases) {
    SCOPED_TRACE(c.label);
    OnFreshThread([&] {
      ASSERT_EQ(CoInitializeEx(nullptr, c.other), S_OK);
      {
        const ComInitialization com(c.threading);
        EXPECT_TRUE(com.ready());
      }
      EXPECT_EQ(ProbeApartment(c.other), S_FALSE) << "the thread's own COM was undone";
      CoUninitialize();
    });
  }
}

}  // namespace
}  // namespace tallowin
