#pragma once
// The fixture of every test that runs Tovasen.exe as a program of its own. The Wine test
// programs share one prefix and so one registry, in whatever order they run: every case starts
// from an empty settings key and leaves none behind, and no instance may outlive its case.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/files.h"

namespace tovasen::test {

class ProgramTest : public ::testing::Test {
protected:
    // Empty settings, then what a program test wants unless it says otherwise: Korean, no
    // capture sound, pictures into folder, no pointer in the picture, nothing copied on the
    // side, and the pointer out of the way in the screen's corner.
    void SetUp() override;
    // Waits for every instance to end and deletes the settings key.
    void TearDown() override;

    TempFolder folder;
};

// Deletes the program's settings key (and the ones below it); true when none is left.
bool ClearSettings();
// True once no main window of any instance is left within timeoutMs.
bool NoInstanceLeft(DWORD timeoutMs = 10000);
// True once no Tovasen.exe program has a main window within timeoutMs; a test program's own
// forms do not count.
bool NoProgramLeft(DWORD timeoutMs = 10000);

}  // namespace tovasen::test
