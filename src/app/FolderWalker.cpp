#include "FolderWalker.h"

#include "ErrorTrap.h"
#include "Failure.h"
#include "PathHelpers.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace {

const QString walkContext =
    QStringLiteral("in Treescribe2021/08/31.AddFolder.GetSubDirectories2016 ");

QString withSeparator(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

// A failure to open a folder that only means it is out of reach.
bool outOfReach(int error) {
    return error == EACCES || error == EPERM || error == ENOENT || error == ENOTDIR;
}

// Closes the directory stream on every way out.
class DirectoryStream {
public:
    explicit DirectoryStream(const QString& folder)
        : stream_(::opendir(PathHelpers::native(folder).constData())), error_(errno) {}
    ~DirectoryStream() {
        if (stream_)
            ::closedir(stream_);
    }
    DirectoryStream(const DirectoryStream&) = delete;
    DirectoryStream& operator=(const DirectoryStream&) = delete;

    bool isOpen() const { return stream_ != nullptr; }
    int error() const { return error_; }
    dirent* next() { return ::readdir(stream_); }

private:
    DIR* stream_;
    int error_;
};

// Letter case ignored, with a short way for the ASCII letters most names are made of.
char16_t foldedCase(char16_t c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
    return QChar::toCaseFolded(c);
}

// Digits that count as numbers in names: the ASCII ones.
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool isDotEntry(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// A real folder, not a link to one.
bool isFolderEntry(const QString& folder, const dirent* entry) {
    if (entry->d_type == DT_DIR)
        return true;
    if (entry->d_type != DT_UNKNOWN)
        return false;
    struct stat info {};
    const QByteArray path = PathHelpers::native(folder) + entry->d_name;
    return ::lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Why a directory entry that is not a folder is not taken as a file; nothing when it is a
// regular file, or a link to a folder (which a walk never follows).
QString refusalOf(const QString& folder, const dirent* entry, bool regular) {
    if (!FolderWalker::isUtf8(QByteArray(entry->d_name)))
        return FolderWalker::notUtf8Reason();
    if (regular)
        return {};
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return QStringLiteral("it is not a regular file");
    struct stat info {};
    const QByteArray path = PathHelpers::native(folder) + entry->d_name;
    if (::stat(path.constData(), &info) != 0)
        return errno == ENOENT
                   ? QStringLiteral("it is a link to a file that does not exist")
                   : QStringLiteral("it cannot be opened: ") + Failure::systemText(errno);
    return S_ISDIR(info.st_mode) ? QString() : QStringLiteral("it is not a regular file");
}

} // namespace

QString FolderWalker::notUtf8Reason() {
    return QStringLiteral("its name is not valid UTF-8");
}

bool FolderWalker::isUtf8(const QByteArray& bytes) {
    // Names are nearly always plain ASCII; only the others need the decoder's verdict.
    bool ascii = true;
    for (const char c : bytes)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

bool FolderWalker::HasOddCharacters(const QByteArray& name) {
    if (!isUtf8(name))
        return true;
    const QString text = QString::fromUtf8(name);
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 32 || (code >= 127 && code <= 159) || code == u'?')
            return true;
    }
    return false;
}

bool FolderWalker::matches(const QString& name, const QString& pattern) {
    if (pattern == QLatin1String("*.*") || pattern == QLatin1String("*"))
        return true;
    const QString text = name.toCaseFolded();
    const QString wild = pattern.toCaseFolded();
    // Greedy match with one backtrack point per "*", enough for "*" and "?".
    qsizetype t = 0, w = 0, starW = -1, starT = 0;
    while (t < text.size()) {
        if (w < wild.size() && (wild.at(w) == QLatin1Char('?') || wild.at(w) == text.at(t))) {
            ++t;
            ++w;
        } else if (w < wild.size() && wild.at(w) == QLatin1Char('*')) {
            starW = w++;
            starT = t;
        } else if (starW >= 0) {
            w = starW + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (w < wild.size() && wild.at(w) == QLatin1Char('*'))
        ++w;
    return w == wild.size();
}

int FolderWalker::compareNames(const QString& a, const QString& b) {
    // Runs of digits compare by their value, everything else by letters with case ignored,
    // so "item9" comes before "item10" and "b" between "A" and "C".
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a.at(i)) && isDigit(b.at(j))) {
            qsizetype endA = i, endB = j;
            while (endA < a.size() && isDigit(a.at(endA)))
                ++endA;
            while (endB < b.size() && isDigit(b.at(endB)))
                ++endB;
            QStringView digitsA = QStringView(a).mid(i, endA - i);
            QStringView digitsB = QStringView(b).mid(j, endB - j);
            while (digitsA.size() > 1 && digitsA.front() == u'0')
                digitsA = digitsA.mid(1);
            while (digitsB.size() > 1 && digitsB.front() == u'0')
                digitsB = digitsB.mid(1);
            if (digitsA.size() != digitsB.size())
                return digitsA.size() < digitsB.size() ? -1 : 1;
            if (const int order = digitsA.compare(digitsB))
                return order;
            i = endA;
            j = endB;
            continue;
        }
        const char16_t x = foldedCase(a.at(i).unicode());
        const char16_t y = foldedCase(b.at(j).unicode());
        if (x != y)
            return x < y ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    // Equal but for letter case or leading zeros: a fixed order all the same.
    return a.compare(b);
}

void FolderWalker::sortNames(QStringList& names) {
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return compareNames(a, b) < 0; });
}

bool FolderWalker::IsExistingFile(const QString& path) {
    struct stat info {};
    return !path.isEmpty() && ::stat(PathHelpers::native(path).constData(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

QStringList FolderWalker::GetFolderFiles(const QString& folder, const QString& pattern,
                                         const Listing* listing) {
    const QString base = withSeparator(folder);
    if (listing) {
        if (const auto seen = listing->constFind(base); seen != listing->constEnd()) {
            QStringList names;
            for (const QString& name : *seen) {
                if (matches(name, pattern))
                    names << name;
            }
            return names;
        }
    }
    DirectoryStream stream(base);
    if (!stream.isOpen())
        throw Failure(Failure::systemText(stream.error()) + QStringLiteral(": ") + base);
    QStringList names;
    while (const dirent* entry = stream.next()) {
        if (isDotEntry(entry->d_name))
            continue;
        const QByteArray raw(entry->d_name);
        // A name that is not UTF-8 could not be given back to the file system as a path.
        if (!isUtf8(raw))
            continue;
        const QString name = QString::fromUtf8(raw);
        if (!matches(name, pattern))
            continue;
        // The listing already says what most entries are; only links and file systems that do
        // not say need a look at the file itself.
        const bool regular =
            entry->d_type == DT_REG || ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                        IsExistingFile(base + name));
        if (regular)
            names << name;
    }
    sortNames(names);
    return names;
}

void FolderWalker::AppendSubFolders(QStringList& folders, bool recurse, Listing* listing,
                                    Refusals* refusals) {
    ErrorTrap trap(walkContext);
    QStringList found;
    const QStringList starting = folders;
    for (const QString& folder : starting) {
        if (!PathHelpers::IsFolder(folder))
            continue;
        if (PathHelpers::native(folder).size() >= PathLimit)
            continue;
        trap.step(114, [] { QCoreApplication::processEvents(); });
        DirectoryStream stream(folder);
        if (!stream.isOpen()) {
            if (outOfReach(stream.error())) {
                folders.removeOne(folder);
            } else {
                trap.step(118, [&] {
                    throw Failure(Failure::systemText(stream.error()) + QStringLiteral(": ") +
                                  folder);
                });
            }
            continue;
        }
        QStringList children;
        QStringList files;
        while (const dirent* entry = stream.next()) {
            if (isDotEntry(entry->d_name))
                continue;
            const QByteArray raw(entry->d_name);
            if (!isFolderEntry(folder, entry)) {
                const bool regular = entry->d_type == DT_REG ||
                                     ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                      IsExistingFile(folder + QString::fromUtf8(raw)));
                if (listing && regular && isUtf8(raw))
                    files << QString::fromUtf8(raw);
                else if (refusals)
                    if (const QString refusal = refusalOf(folder, entry, regular);
                        !refusal.isEmpty())
                        (*refusals)[folder].append({QString::fromUtf8(raw), refusal});
                continue;
            }
            if (raw.size() > NameLimit || HasOddCharacters(raw)) {
                // The files below a folder whose name cannot be a path are not looked at either.
                if (refusals && !isUtf8(raw))
                    (*refusals)[folder].append(
                        {QString::fromUtf8(raw) + QLatin1Char('/'),
                         notUtf8Reason() +
                             QStringLiteral(", so the files in it were not looked at")});
                continue;
            }
            children << QString::fromUtf8(raw);
        }
        sortNames(children);
        if (listing) {
            sortNames(files);
            listing->insert(folder, files);
        }
        for (const QString& child : children) {
            trap.step(120, [] { QCoreApplication::processEvents(); });
            found << folder + child + QLatin1Char('/');
        }
    }
    if (recurse && !found.isEmpty())
        trap.step(150, [&] { AppendSubFolders(found, true, listing, refusals); });
    for (const QString& folder : std::as_const(found)) {
        if (!PathHelpers::IsFolder(folder))
            continue;
        trap.step(156, [] { QCoreApplication::processEvents(); });
        folders << folder;
    }
}

bool FolderWalker::IsWanted(const QString& folder, const QString& name) {
    if (name.startsWith(QLatin1Char('~')))
        return false;
    // Hidden and archive only is a writable hidden file. Only a name with a leading dot can be
    // hidden, so other names need no look at the disk.
    return !name.startsWith(QLatin1Char('.')) ||
           PathHelpers::FileAttributes(folder + QLatin1Char('/') + name) !=
               (PathHelpers::Hidden | PathHelpers::Archive);
}

QList<FolderWalker::Found> FolderWalker::RefusedIn(const Refusals& refusals, const QString& folder,
                                                   const QString& pattern) {
    const QString base = folder.chopped(1);
    QList<Found> refused;
    for (const Found& entry : refusals.value(folder)) {
        if (entry.path.endsWith(QLatin1Char('/')) ||
            (matches(entry.path, pattern) && IsWanted(base, entry.path)))
            refused.append(entry);
    }
    return refused;
}

QList<FolderWalker::Found> FolderWalker::FilesInTree(const QString& folder,
                                                     const QString& pattern) {
    QStringList folders{folder + QLatin1Char('/')};
    Listing listing;
    Refusals refusals;
    AppendSubFolders(folders, true, &listing, &refusals);
    QList<Found> found;
    for (const QString& entry : std::as_const(folders)) {
        const QString base = entry.chopped(1);
        QList<Found> here;
        for (const QString& name : GetFolderFiles(base, pattern, &listing)) {
            if (IsWanted(base, name))
                here.append({name, {}});
        }
        here.append(RefusedIn(refusals, entry, pattern));
        std::stable_sort(here.begin(), here.end(), [](const Found& a, const Found& b) {
            return compareNames(a.path, b.path) < 0;
        });
        for (const Found& item : std::as_const(here))
            found.append({base + QLatin1Char('/') + item.path, item.refusal});
    }
    return found;
}
