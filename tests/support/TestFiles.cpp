#include "TestFiles.h"

#include "StartupRoutines.h"
#include "TestPrograms.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTest>
#include <sys/stat.h>

namespace TestFiles {

void isolateHome(const QString& home) {
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home + QStringLiteral("/cache")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(home + QStringLiteral("/state")));
    qputenv("TEMP", QFile::encodeName(home));
    StartupRoutines::setDraw([] { return 1; });
}

QString corpusFolder() {
    return qEnvironmentVariable("METASCRIBE_CORPUS");
}

QString copyCorpusFile(const QString& name, const QString& folder, const QString& newName) {
    const QString target = folder + QLatin1Char('/') + (newName.isEmpty() ? name : newName);
    QFile::remove(target);
    if (!QFile::copy(corpusFolder() + QLatin1Char('/') + name, target))
        return {};
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                      QFile::ReadOther);
    return target;
}

QString writeScript(const QString& path, const QString& body) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write("#!/bin/sh\n" + body.toUtf8() + '\n');
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QMap<QString, QString> pdfInfo(const QString& pdfPath, const QString& password) {
    QStringList arguments{QStringLiteral("-enc"), QStringLiteral("UTF-8")};
    if (!password.isEmpty())
        arguments << QStringLiteral("-upw") << password;
    arguments << pdfPath;
    QByteArray output;
    if (!TestPrograms::run(QStringLiteral("pdfinfo"), arguments, &output))
        return {};
    // pdfinfo pads "Key:" to a fixed column of 17 characters; the value is the rest of the line,
    // blanks included.
    QMap<QString, QString> fields;
    const QStringList lines = QString::fromUtf8(output).split('\n');
    for (const QString& line : lines) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0 || line.size() < 17)
            continue;
        fields.insert(line.left(colon), line.mid(17));
    }
    return fields;
}

QByteArray bytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QString write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(bytes);
    return path;
}

QByteArray pdfOf(const QList<QByteArray>& objects, const QByteArray& trailerEntries) {
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (const QByteArray& object : objects) {
        offsets << pdf.size();
        pdf += QByteArray::number(offsets.size()) + " 0 obj\n" + object + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    const QByteArray size = QByteArray::number(objects.size() + 1);
    pdf += "xref\n0 " + size + "\n0000000000 65535 f \n";
    for (qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    return pdf + "trailer\n<< /Size " + size + " /Root 1 0 R " + trailerEntries +
           " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
}

QByteArray streamObject(const QByteArray& entries, const QByteArray& data) {
    return "<< " + entries + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" +
           data + "\nendstream";
}

QByteArray pdfWithInfo(const QByteArray& info) {
    return pdfOf({"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>", info},
                 "/Info 4 0 R");
}

mode_t mode(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return static_cast<mode_t>(-1);
    return info.st_mode & 07777;
}

bool haveProgram(const QString& name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

QByteArray photoWithMetadata(const QString& path) {
    QImage image(16, 16, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 16, y * 16, 128));
    }
    image.setColorSpace(QColorSpace::SRgb);
    if (!image.save(path, "JPG"))
        return {};
    if (!TestPrograms::run("exiftool",
                           {"-q", "-overwrite_original", "-GPSLatitude=48.8584",
                            "-GPSLatitudeRef=N", "-GPSLongitude=2.2945", "-GPSLongitudeRef=E",
                            "-SerialNumber=CAM-SERIAL-4711", "-Comment=Taken by Anna Example",
                            "-XMP-dc:Creator=Anna Example", "-IPTC:By-line=Anna Example", path}))
        return {};
    return bytes(path);
}

QList<QByteArray> jpegImages(const QString& pdfPath) {
    QByteArray json;
    if (!TestPrograms::run("qpdf",
                           {"--json=2", "--json-key=qpdf", "--json-stream-data=inline",
                            "--decode-level=none", pdfPath},
                           &json))
        return {};
    // The second element holds the objects.
    const QJsonObject objects =
        QJsonDocument::fromJson(json).object().value("qpdf").toArray().at(1).toObject();
    QList<QByteArray> images;
    for (const QJsonValue& object : objects) {
        const QJsonObject stream = object.toObject().value("stream").toObject();
        const QJsonObject dictionary = stream.value("dict").toObject();
        if (dictionary.value("/Subtype").toString() != QStringLiteral("/Image"))
            continue;
        QByteArray data = QByteArray::fromBase64(stream.value("data").toString().toLatin1());
        if (dictionary.value("/Filter").toArray().size() == 2) {
            // qUncompress wants the size it expects before the data; it grows past it.
            const qsizetype size = data.size();
            data = qUncompress(QByteArray(1, char(size >> 24)) + char(size >> 16) +
                               char(size >> 8) + char(size) + data);
        }
        images << data;
    }
    return images;
}

QByteArray photoTags(const QByteArray& jpeg, const QString& path, const QStringList& tags) {
    write(path, jpeg);
    QByteArray report;
    TestPrograms::run("exiftool", QStringList{"-s"} + tags + QStringList{path}, &report);
    return report;
}

} // namespace TestFiles
