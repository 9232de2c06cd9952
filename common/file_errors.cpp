// The texts of the file-error codes.
#include "common/file_errors.h"

const char* FileErrorText(int code)
{
    switch (code) {
    case kFileError:
        return "File error!";
    case kCannotOpenFile:
        return "Cannot open file!";
    case kCannotCreateFile:
        return "Cannot create file!";
    case kCannotDeleteFile:
        return "Cannot delete file!";
    case kFileAlreadyExists:
        return "File already exists!";
    case kFileReadError:
        return "File read error!";
    case kFileWriteError:
        return "File write error!";
    case kIncorrectFileType:
        return "Incorrect file type!";
    case kMemoryError:
        return "Memory error!";
    case kNullPointerAccess:
        return "null-pointer access!";
    default:
        return nullptr;
    }
}
