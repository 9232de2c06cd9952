// Result codes shared by the file utilities and the stream tools, with their texts.
#pragma once

enum FileError : int {
    kFileError         = 100,
    kCannotOpenFile    = 101,
    kCannotCreateFile  = 102,
    kCannotDeleteFile  = 103,
    kFileAlreadyExists = 104,
    kFileReadError     = 105,
    kFileWriteError    = 106,
    kIncorrectFileType = 107,
    kMemoryError       = 200,
    kNullPointerAccess = 201,
};

// The text of a code of the table, or nullptr for any other value.
const char* FileErrorText(int code);
