#pragma once
// Resource identifiers shared by the program, its resource script and the tests.

#define IDR_MAINFRAME 5
