// The check that the program's data folder is there at all, before anything is opened.
#pragma once

// True when data/ is in the working folder (the entry point has already made the program's
// own folder the working folder when the folder it was started in has none). Otherwise says
// so once, on standard error and in one message box, and gives false: the program then ends
// before its windows open, instead of reporting every one of its files as missing.
bool dataFolderFound();
