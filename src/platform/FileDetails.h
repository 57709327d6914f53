#pragma once

#include <QString>
#include <sys/stat.h>

// What a new file takes over from the file it is about to replace, so that to everyone who used
// the old one it is the same file with new content: owner and group, mode, the access list and
// the "user." and "security." extended attributes (as "cp --preserve=all" keeps them). What the
// file system cannot hold on either side is no loss and is passed over.
class FileDetails {
public:
    // Gives the file open at to the details of the file open at from, whose fstat() is fromInfo.
    // Throws Failure with the whole reason ("could not keep the file's owner: ...") when one of
    // them cannot be kept; the new file must then not replace the old one.
    static void copy(int from, const struct stat& fromInfo, int to);
};
