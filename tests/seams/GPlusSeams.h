// SPDX-License-Identifier: MIT
// Test seam of the picture-codec binding: a fresh start, so that tests can
// walk the whole state table of loading and starting GDI+.
#pragma once

namespace lumo::test {

// Runs the unit's finalisation, then puts the binding back to its state at
// program start: not loaded, no failed load remembered, no entry bound.
void ResetGPlusBinding();

}  // namespace lumo::test
