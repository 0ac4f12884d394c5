// The tests whose expectations are Windows' documented behaviour but which Wine does not
// meet: under Wine they are reported as skipped, with the difference. One list, in
// WineDifferences.cpp; on Linux and on Windows itself every test runs.
#pragma once

// Installs the skipping when the program runs under Wine; call after InitGoogleTest.
void SkipTestsWhereWineDiffers();
