#pragma once

#include <QStringList>

class QCommandLineParser;

// metascribe set: changes the fields of the given files and of the files in the given folders
// with the window's batch engine, every check included, and reports each file on the console.
class SetCommand {
public:
    // Runs set with the options the parser found and the files and folders given; the exit
    // status. undecodable holds the arguments, as read, whose bytes are not UTF-8.
    static int run(const QCommandLineParser& parser, const QStringList& paths,
                   const QStringList& undecodable);
};
