#include "testlib/WebBrowserContract.h"

namespace linkvane::test {

INSTANTIATE_TEST_SUITE_P(Static, WebBrowserContract, ::testing::Values("static"));

} // namespace linkvane::test
