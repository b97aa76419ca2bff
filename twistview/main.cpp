#include "TwistShell.h"

int main() { return TwistViewMain(); }
