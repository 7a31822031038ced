#pragma once

// Runs a check in a child process as an unprivileged user, so that file
// permissions hold also when the tests run as root (root reads and deletes
// whatever it likes).

#include <functional>

namespace testing_support {

// Runs check in a forked child, as user and group "nobody" when the tests
// run as root, and returns its result; -1 when the child could not run or
// drop its rights. The child shares nothing with the test afterwards.
int runUnprivileged(const std::function<int()>& check);

// Lets an unprivileged user pass through the folder (mode 0755), as tests
// make their temporary folders for the owner alone.
void openToOthers(const char* folder);

} // namespace testing_support
