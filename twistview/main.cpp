// SPDX-License-Identifier: MIT
#include "TwistShell.h"

int main() { return TwistViewMain(); }
