#pragma once

#include <QByteArray>
#include <QString>

// Digitally signed PDF files made at run time, as a signing program makes them: a copy of a corpus
// file rewritten by qpdf (a classic cross-reference table, or object and cross-reference streams)
// gets an incremental update with a signature field on its first page and the signature's
// dictionary, whose /Contents placeholder then takes a detached CMS signature (openssl, with a
// self-signed certificate) of every byte around it.
class SignedPdf {
public:
    // Keys and certificate go into folder, which must exist.
    explicit SignedPdf(QString folder);

    struct Options {
        // Cross-reference and object streams rather than a classic table.
        bool streams = false;
        // A certification (the catalog's /Perms /DocMDP) with this permissions level, 1 to 3.
        int certification = 0;
        // The signed field is the kid of a field that gives it its type (/FT /Sig).
        bool typeFromParent = false;
    };
    // Signs a copy of the corpus file as folder/name. Gives its path, or an empty text when a
    // tool failed (why() says which).
    QString make(const QString& corpusName, const QString& name, const Options& options);
    QString why() const { return why_; }

    // What pdfsig reports of path, standard output; empty when it fails.
    static QByteArray report(const QString& path);

private:
    // Keeps why and gives an empty path.
    QString fail(const QString& why);

    QString folder_;
    QString why_;
};
