// SPDX-License-Identifier: MIT
// Whole-surface effects.
#pragma once

#include "LumoDIB.h"

// Reverses the order of the surface's rows in place: row i of Rows then
// holds what row RowCount - 1 - i held. Row padding stays where it is.
void FlipRows(TLumoDIB& Surface);
