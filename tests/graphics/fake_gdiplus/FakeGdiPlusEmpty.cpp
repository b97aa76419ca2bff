// SPDX-License-Identifier: MIT
// A module that has none of the codec's entries.
extern "C" __attribute__((visibility("default"))) int FakeGdipNothingHere() { return 0; }
