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

    // Signs a copy of the corpus file as folder/name, with cross-reference streams or a table;
    // a certification (the catalog's /Perms /DocMDP) with permissions level 1 to 3 when it is
    // given. Gives its path, or an empty text when a tool failed (why() says which).
    QString make(const QString& corpusName, const QString& name, bool streams,
                 int certification = 0);
    QString why() const { return why_; }

    // What pdfsig reports of path, standard output; empty when it fails.
    static QByteArray report(const QString& path);

private:
    // Keeps why and gives an empty path.
    QString fail(const QString& why);

    QString folder_;
    QString why_;
};
