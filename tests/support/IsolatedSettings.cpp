#include "support/IsolatedSettings.h"

namespace testing_support {

void IsolatedSettings::SetUp() {
    ASSERT_TRUE(folder_.isValid());
    qputenv("XDG_CONFIG_HOME", folder_.path().toLocal8Bit());
}

::testing::Environment* isolateSettings() {
    return ::testing::AddGlobalTestEnvironment(new IsolatedSettings);
}

} // namespace testing_support
