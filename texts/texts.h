#pragma once
// Every text the user meets, in Shift-JIS like every text of the program. The texts themselves
// are written once, in UTF-8, in texts/texts.txt; the build converts them into the byte strings of
// texts_cp932.h. The window and the command convert them at the screen or the terminal; they reach
// a file byte for byte.
#include "texts/texts_cp932.h"

namespace tolvane {

// The file names, as arrays: they are joined to paths and handed to Qt as Latin-1.
inline constexpr char kRecordsFileName[] = "tolvaneken.txt";
inline constexpr char kResultsFileName[] = "kekka.txt";
inline constexpr char kApplicationTitle[] = "Tolvane";

}  // namespace tolvane
