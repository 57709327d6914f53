#include "FileDetails.h"

#include "Failure.h"

#include <QByteArray>
#include <QList>
#include <cerrno>
#include <optional>
#include <sys/acl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// The access list is an extended attribute to the system, but only libacl knows its form.
const QByteArray accessList = "system.posix_acl_access";

[[noreturn]] void refuse(const QString& what, int error) {
    throw Failure(QStringLiteral("could not keep the file's ") + what + QStringLiteral(": ") +
                  Failure::systemText(error));
}

// The file system (or the kernel) has no place for it: there is nothing that could be lost.
bool unsupported(int error) {
    return error == ENOTSUP || error == ENOSYS;
}

// Reads a list or a value of unknown size: read(buffer, capacity) answers as the xattr calls do,
// with ERANGE when the buffer is too small; a capacity of 0 asks for the size. Nothing when the
// file system keeps no attributes.
template <typename Read> std::optional<QByteArray> readSized(Read read, const QString& what) {
    QByteArray bytes(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t size = read(bytes.data(), size_t(bytes.size()));
        if (size >= 0)
            return bytes.left(size);
        if (unsupported(errno))
            return std::nullopt;
        if (errno != ERANGE)
            refuse(what, errno);
        // Grown in between: ask again.
        const ssize_t needed = read(nullptr, 0);
        if (needed < 0)
            refuse(what, errno);
        bytes.resize(needed + 1);
    }
}

void copyAccessList(int from, int to) {
    const acl_t list = ::acl_get_fd(from);
    if (!list) {
        if (unsupported(errno))
            return;
        refuse(QStringLiteral("access list"), errno);
    }
    const int set = ::acl_set_fd(to, list);
    const int error = errno;
    ::acl_free(list);
    if (set != 0 && !unsupported(error))
        refuse(QStringLiteral("access list"), error);
}

// user.* belongs to the file's users, security.* to the system's security modules, trusted.* to
// root's own services (listed only to a process that may write them too); the kernel writes
// security.evm itself.
bool copied(const QByteArray& name) {
    return (name.startsWith("user.") || name.startsWith("security.") ||
            name.startsWith("trusted.")) &&
           name != "security.evm";
}

void copyAttribute(int from, const QByteArray& name, int to) {
    const QString what = QStringLiteral("extended attribute ") + QString::fromUtf8(name);
    const std::optional<QByteArray> value =
        readSized([&](char* buffer,
                      size_t size) { return ::fgetxattr(from, name.constData(), buffer, size); },
                  what);
    if (value &&
        ::fsetxattr(to, name.constData(), value->constData(), size_t(value->size()), 0) != 0 &&
        !unsupported(errno))
        refuse(what, errno);
}

} // namespace

void FileDetails::copy(int from, const struct stat& fromInfo, int to) {
    struct stat toInfo {};
    if (::fstat(to, &toInfo) != 0)
        refuse(QStringLiteral("details"), errno);
    // Separately, so the reason says which one could not be kept.
    if (toInfo.st_uid != fromInfo.st_uid && ::fchown(to, fromInfo.st_uid, gid_t(-1)) != 0)
        refuse(QStringLiteral("owner"), errno);
    if (toInfo.st_gid != fromInfo.st_gid && ::fchown(to, uid_t(-1), fromInfo.st_gid) != 0)
        refuse(QStringLiteral("group"), errno);

    bool hadAccessList = false;
    const QString attributes = QStringLiteral("extended attributes");
    const QByteArray names =
        readSized([&](char* buffer, size_t size) { return ::flistxattr(from, buffer, size); },
                  attributes)
            .value_or(QByteArray());
    for (const QByteArray& name : names.split('\0')) {
        if (name == accessList) {
            hadAccessList = true;
            copyAccessList(from, to);
        } else if (copied(name)) {
            copyAttribute(from, name, to);
        }
    }
    // A new file in a folder with a default access list starts with that list; the old file
    // did not have one, so neither may its replacement grant more than its mode says.
    if (!hadAccessList && ::fremovexattr(to, accessList.constData()) != 0 && errno != ENODATA &&
        !unsupported(errno))
        refuse(QStringLiteral("access list"), errno);
    // Last: a change of owner clears the set-user-ID bits, and the mode is the access list's
    // summary, which the list just put in place agrees with.
    if (::fchmod(to, fromInfo.st_mode & 07777) != 0)
        refuse(QStringLiteral("mode"), errno);
}
