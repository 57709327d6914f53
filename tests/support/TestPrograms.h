#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The outside programs tests run to make inputs and to read results independently, and the
// processes a test watches come and go.
namespace TestPrograms {

// Runs program and waits for it; gives whether it ended normally with exit code 0. Its standard
// output goes to output when given.
bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr);

// Writes locked, an encrypted copy of plain made by qpdf with these encryption arguments (user
// password, owner password, key length and options, as qpdf takes them); gives its path, or
// nothing when qpdf fails. Weak old encryption is allowed, as older files have it.
QString encrypted(const QString& plain, const QString& locked, const QStringList& encryption);

// A process's name, state and parent as /proc tells them; nothing once it is gone.
struct Status {
    QByteArray name;
    char state = 0;
    QByteArray parent;
};
std::optional<Status> status(const QByteArray& pid);

// A killed grandchild may linger as a zombie where nothing reaps orphans; that counts as gone.
bool alive(const QByteArray& pid);

} // namespace TestPrograms
