#pragma once
// The event loop of the engine needs an application object; test binaries
// built on gtest_main make one on first use.

namespace kitemail::test {

void EnsureCoreApplication();

} // namespace kitemail::test
