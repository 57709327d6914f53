#include "BenchOptions.h"

BenchOptions BenchOptions::parse(const QStringList& arguments) {
    BenchOptions options;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString next = arguments.value(i + 1);
        if (arguments[i] == "--files")
            options.files = next.toInt();
        else if (arguments[i] == "--tree")
            options.treeFiles = next.toInt();
        else if (arguments[i] == "--large-mb")
            options.largeMegabytes = next.toInt();
        else if (arguments[i] == "--only")
            options.only = next.split(',');
        else if (arguments[i] == "--no-loop")
            options.loop = false;
        else if (arguments[i] == "--memory-of-rows") {
            options.memoryOfRows = next.toInt();
            break;
        }
    }
    return options;
}
