#pragma once

// Points the per-user settings at a temporary folder for the whole test
// program, so that tests never touch the user's own settings.

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace testing_support {

class IsolatedSettings : public ::testing::Environment {
public:
    void SetUp() override;

private:
    QTemporaryDir folder_;
};

// Registers the environment; call from a static initialiser of a test file.
::testing::Environment* isolateSettings();

} // namespace testing_support
