#pragma once
// Shared set-up of the contract tests: one backend per test, its sandbox key and folder.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/platform.h"
#include "tests/backend/backend_fixture.h"

namespace tallowin::testing_support {

class BackendContractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_ = MakeBackendUnderTest();
    ASSERT_NE(backend_, nullptr);
  }
  void TearDown() override { backend_.reset(); }

  platform::Registry& registry() { return backend_->platform().registry; }
  platform::FileSystem& files() { return backend_->platform().files; }

  std::unique_ptr<BackendUnderTest> backend_;
};

}  // namespace tallowin::testing_support
