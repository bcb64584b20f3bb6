// Finding the production's data folder, before anything is opened.
#pragma once

#include <filesystem>

// Makes the folder whose data/ holds the production's files the working folder: the working
// folder when its data/ does, else programFolder (the folder of the executable) when its
// data/ does, and gives true. A data/ holds the production's files when it holds any of the
// files the production reads: one that holds none of them belongs to something else, and one
// that lacks some is the production's, damaged, and each missing file is reported by name
// when it is read. When neither folder's data/ holds them, says so once, on standard error
// and in one message box, and gives false: the program then ends before its windows open,
// instead of reporting every one of its files as missing.
bool dataFolderFound(const std::filesystem::path& programFolder);

// The folder of the running program's executable; empty when it cannot be told.
std::filesystem::path programFolder();
