// Linked into test binaries whose code under test reads ZQ_ROOT: every such binary runs below
// a temporary root of its own, so tests never touch the machine's real paths and never see
// each other's state.
#include "zqtest/TempDir.h"

namespace {
const bool kRootReady = (zqtest::UseTemporaryRoot(), true);
}  // namespace
