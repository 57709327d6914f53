#include "ToolkitCommand.h"

#include <QDir>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<QString>)

class ToolkitCommandTest : public QObject {
    Q_OBJECT

private slots:
    void update_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<std::optional<QString>>("password");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("standardInput");

        const QString info = "/tmp/metascribe-1000/info.txt";
        const std::optional<QString> none;
        QTest::newRow("plain") << "/in/a.pdf" << none
                               << QStringList{"/in/a.pdf", "update_info", info,
                                              "output",    "/in/a.pdf2",  "dont_ask"}
                               << QByteArray();
        QTest::newRow("spaces, quotes and dollar stay one argument")
            << "/in/my \"best\" $HOME 'x'.pdf" << none
            << QStringList{"/in/my \"best\" $HOME 'x'.pdf",  "update_info", info, "output",
                           "/in/my \"best\" $HOME 'x'.pdf2", "dont_ask"}
            << QByteArray();
        QTest::newRow("newline in a name")
            << "/in/two\nlines.pdf" << none
            << QStringList{"/in/two\nlines.pdf",  "update_info", info, "output",
                           "/in/two\nlines.pdf2", "dont_ask"}
            << QByteArray();
        QTest::newRow("password travels on standard input")
            << "/in/a.pdf" << std::optional<QString>("pa\"ss word")
            << QStringList{"A=/in/a.pdf", "input_pw", "A=PROMPT",   "update_info",
                           info,          "output",   "/in/a.pdf2", "dont_ask"}
            << QByteArray("pa\"ss word\n");
        QTest::newRow("non-ASCII password")
            << "/in/a.pdf" << std::optional<QString>("clé")
            << QStringList{"A=/in/a.pdf", "input_pw", "A=PROMPT",   "update_info",
                           info,          "output",   "/in/a.pdf2", "dont_ask"}
            << QByteArray("cl\xc3\xa9\n");
    }
    void update() {
        QFETCH(QString, input);
        QFETCH(std::optional<QString>, password);
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, standardInput);
        const ToolInvocation invocation = ToolkitCommand::update(
            "/usr/bin/pdftk", input, password, "/tmp/metascribe-1000/info.txt", input + "2");
        QCOMPARE(invocation.program, QStringLiteral("/usr/bin/pdftk"));
        QCOMPARE(invocation.arguments, arguments);
        QCOMPARE(invocation.standardInput.has_value(), password.has_value());
        QCOMPARE(invocation.standardInput.value_or(QByteArray()), standardInput);
        if (password)
            QVERIFY(!invocation.arguments.join('\x1f').contains(*password));
    }

    // A relative path, above all one that starts with "-" or looks like a handle, would be read
    // as something else by the toolkit.
    void pathsMadeAbsolute_data() {
        QTest::addColumn<QString>("input");
        QTest::newRow("leading dash") << "-rf.pdf";
        QTest::newRow("looks like a handle") << "B=x.pdf";
        QTest::newRow("keyword") << "output";
    }
    void pathsMadeAbsolute() {
        QFETCH(QString, input);
        const QString here = QDir::currentPath() + "/";
        const ToolInvocation invocation =
            ToolkitCommand::update("pdftk", input, std::nullopt, "info.txt", input + "2");
        QCOMPARE(invocation.arguments, (QStringList{here + input, "update_info", here + "info.txt",
                                                    "output", here + input + "2", "dont_ask"}));
        const ToolInvocation dump = ToolkitCommand::dump("pdftk", input, "result.txt");
        QCOMPARE(dump.arguments,
                 (QStringList{here + input, "dumpdata", "output", here + "result.txt"}));
    }

    void dump() {
        const ToolInvocation invocation =
            ToolkitCommand::dump("/opt/m/pdftk", "/in/a.pdf", "/tmp/t/result.txt");
        QCOMPARE(invocation.arguments,
                 (QStringList{"/in/a.pdf", "dumpdata", "output", "/tmp/t/result.txt"}));
        QVERIFY(!invocation.standardInput);
    }
};

QTEST_GUILESS_MAIN(ToolkitCommandTest)
#include "ToolkitCommandTest.moc"
