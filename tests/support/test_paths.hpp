// Where this build's checkout, fake programs and tarnwick binary are. The paths live in one
// generated source of the build tree (test_paths.cpp), not in every test's compile flags, so
// a test's object is the same in every checkout and a compiler cache can share it.
#pragma once

namespace tarnwick::testing::paths {

extern const char* const source_dir;  // the checkout
extern const char* const fakes_dir;   // tests/fakes: the stand-ins for gh and other programs
extern const char* const built_bin;   // the tarnwick binary the end-to-end tests run
extern const char* const cargo_home;  // the machine's cargo home for the generated projects

}  // namespace tarnwick::testing::paths

#define TARNWICK_SOURCE_DIR (::tarnwick::testing::paths::source_dir)
#define TARNWICK_FAKES_DIR (::tarnwick::testing::paths::fakes_dir)
#define TARNWICK_BUILT_BIN (::tarnwick::testing::paths::built_bin)
