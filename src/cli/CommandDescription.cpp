#include "CommandDescription.h"

#include "PdfDate.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <array>

namespace {

using Option = CommandDescription::Option;

const std::array<Option, 8> fieldOptionTable{{
    {"title", "TEXT", "Sets the title to TEXT.", InfoField::Title},
    {"subject", "TEXT", "Sets the subject to TEXT.", InfoField::Subject},
    {"author", "TEXT", "Sets the author to TEXT.", InfoField::Author},
    {"keywords", "TEXT", "Sets the keywords to TEXT.", InfoField::Keywords},
    {"creator", "TEXT", "Sets the creator (the program that made the original) to TEXT.",
     InfoField::Creator},
    {"producer", "TEXT", "Sets the producer (the program that made the PDF) to TEXT.",
     InfoField::Producer},
    {"creation-date", "DATE", "Sets the creation date to DATE.", InfoField::CreationDate},
    {"mod-date", "DATE", "Sets the modification date to DATE.", InfoField::ModDate},
}};

const std::array<Option, 14> setOptionTable{{
    {"title-from-filename", nullptr,
     "Sets the title to the file's name without its folder and extension."},
    {"info", "KEY=VALUE",
     "Sets any key of the document information to the text VALUE; may be given more than once. "
     "KEY is spelled as in the file (Title, CreationDate, ...: the same as the field's own "
     "option) and is printable ASCII without spaces or any of ()<>[]{}/%. Trapped takes only "
     "True, False or Unknown, and is written as a name."},
    {"remove", "FIELD",
     "Removes a field (by its option's name, such as title or creation-date, or its key) or any "
     "key, in any case (company removes Company), from the document information, and the "
     "field's XMP counterpart; lang removes the document's language; may be given more than "
     "once. A slash before a key (/company) "
     "names only the key spelled exactly so; a file with two keys that differ only in case is "
     "not changed unless one is spelled as given. A key that is not there is no error."},
    {"copyright", "TEXT",
     "Sets the copyright notice of the XMP metadata (dc:rights, marked as copyrighted); an empty "
     "TEXT removes it. A file without XMP metadata is given some, holding the notice and the "
     "eight fields."},
    {"copyright-url", "URL",
     "Sets the address of the rights statement in the XMP metadata (xmpRights:WebStatement); an "
     "empty URL removes it. A file without XMP metadata is given some, as for --copyright."},
    {"lang", "TAG",
     "Sets the document's language, which screen readers read it in, to the BCP 47 tag TAG "
     "(de, en-GB, pt-BR, ...): the catalog's /Lang, and dc:language in the XMP metadata where "
     "the file has some. --remove lang removes both."},
    {"display-title", nullptr,
     "Has viewers show the title in their title bar rather than the file's name "
     "(DisplayDocTitle in the viewer preferences, which are created where there are none; the "
     "other preferences stay)."},
    {"template", "FIELD=TEMPLATE",
     "Sets FIELD (named as for --remove) to TEMPLATE worked out for each file: {name} is the "
     "file's name without folder and extension, {folder} the name of its folder, {Title}, "
     "{Author} or any key in braces the file's current value of that key (empty when it has "
     "none), {copyright} its copyright notice, {file-date} its modification time (a date in a "
     "date field, YYYY-MM-DD in a text field); {{ and }} stand for a brace. May be given more "
     "than once. Example: --template \"subject={folder}: {Title}\". Braces in the value of "
     "--title and the other options stay as they are."},
    {"name-pattern", "PATTERN",
     "Takes values out of each file's name (without extension), which must match PATTERN "
     "whole, each placeholder taking the shortest text (at least one character) that lets the "
     "rest match: --name-pattern \"{Author} - {Title}\" gives Smith - Annual Report.pdf the "
     "author Smith and the title Annual Report. A file whose name does not match is not "
     "changed, and listed."},
    {"only-empty", nullptr,
     "Applies every change of the run only to the fields each file has empty or not at all; "
     "a field with a value keeps it: --only-empty --template title={name}."},
    {"from", "SOURCE",
     "Sets on every file the eight fields, the other keys and the copyright notice and its "
     "address that the file SOURCE has (read only, with the password of --password-stdin "
     "where it needs one). Options that set a field explicitly win: --from original.pdf "
     "--in-place converted.pdf."},
    {"fields", "LIST",
     "Copies with --from or --from-folder only the fields of LIST, names separated by commas "
     "as for --remove, copyright and copyright-url for the notice and its address: --fields "
     "title,author,copyright."},
    {"from-folder", "DIR",
     "As --from, each file's source being the file of the same name in DIR; a file without "
     "one is not changed, and listed: --from-folder originals/ --in-place converted/."},
    {"csv", "TABLE",
     "Takes the files and their values from the table TABLE, as show --csv writes it (\",\" or "
     "\";\" between cells, UTF-8): the column \"path\" names each file (absolute, or relative to "
     "the table's folder), the others are keys (Title, ..., ModDate or their options' names, "
     "and any other, in any case as for --remove; a slash before a key, as in /path, names the "
     "key spelled exactly so), \"copyright\", "
     "\"copyright-url\", \"lang\" (as --lang) and \"display-title\" (true as --display-title). "
     "An empty cell, or a missing column, leaves the field alone; a cell "
     "holding exactly <remove> removes it (<<remove>> stands for the text <remove>). The other "
     "options' changes apply to every file, and a cell overrides them for its file. No "
     "FILE-OR-FOLDER is given. A table with a row whose file does not exist or is listed "
     "twice, a column that names no key, or a value its key cannot take changes nothing."},
}};

const std::array<Option, 8> runOptionTable{{
    {"out", "DIR",
     "Writes each result into the folder DIR, as the file's name with the extension .pdf; the "
     "originals stay as they are."},
    {"in-place", nullptr, "Replaces each file with its result."},
    {"trash", nullptr,
     "Keeps every file a result replaces in the Trash (of its own disk) before replacing it, and "
     "writes a journal of the run, so that undo can take the run back. A file whose original "
     "cannot be kept is not replaced."},
    {"ext", "EXT",
     "Takes from the folders given the files whose names end in .EXT, letter case ignored, in "
     "the whole tree (default: pdf). Files given by name are taken whatever their name. An "
     "entry that is not a regular file (a FIFO, a device, a link to nothing) or whose name is "
     "not valid UTF-8 is reported as not changed, with the reason."},
    {"keep-file-time", nullptr,
     "Gives each result its original's modification and access times rather than the moment "
     "it was written, so that archives and file managers sort it as before: metascribe set "
     "--author Smith --keep-file-time --in-place old/"},
    {"password-stdin", nullptr,
     "Reads one password from standard input and opens every protected file with it; a file "
     "protected only against changes opens without it. A result keeps its original's "
     "protection."},
    {"dry-run", nullptr,
     "Reads every file and prints each changed field's or key's old and new value and the "
     "destination; "
     "changes nothing."},
    {"json", nullptr,
     "Prints one JSON object per file on standard output, in the order of the files: \"path\", "
     "\"destination\", \"outcome\" (\"changed\", \"failed\" or, with --dry-run, \"planned\"), "
     "\"reason\" (null unless failed), \"detail\" with the toolkit's or the reader's own words "
     "behind a failure where there are any, \"note\" for a changed file whose other names (hard "
     "links) keep the old content or whose change was (with --dry-run: would be) added after "
     "the part a digital signature covers and, with --dry-run, \"fields\" with each changed "
     "field's "
     "or key's \"old\" and \"new\" value (null when missing or removed). Files that were not "
     "changed, or were changed with a note, are "
     "named on standard error too."},
}};

const std::array<Option, 1> stripOptionTable{{
    {"keep", "FIELD",
     "Keeps the field FIELD, named as the options of set name it (title, subject, author, "
     "keywords, creator, producer, creation-date, mod-date), in the document information and, "
     "in a file that claims PDF/A, in its XMP metadata. May be given more than once."},
}};

const std::array<Option, 2> showOptionTable{{
    {"json", nullptr,
     "Prints one JSON object per file: \"path\", \"fields\" with the eight fields (null when "
     "missing) and every other key of the document information, \"xmp\" with the XMP values "
     "that differ, \"copyright\" and \"copyrightUrl\" from the XMP metadata (null when "
     "missing), \"lang\" and \"displayDocTitle\" (true, false or null) from the catalog, or "
     "\"error\"."},
    {"csv", nullptr,
     "Writes one table (comma-separated values, as spreadsheets open them: UTF-8 with a "
     "byte-order mark, \";\" between cells) of the given files and the PDF files of the given "
     "folders: a header row, then one row per file with \"path\", the eight fields by their "
     "keys (Title, Subject, Author, Keywords, Creator, Producer, CreationDate, ModDate), "
     "\"copyright\", \"copyright-url\", \"lang\", \"display-title\" (true, false or empty) and a "
     "column for every other key any file has; a key "
     "set --csv would read as another (path, a field's name in another case such as title, "
     "keys that differ only in case) is written with a slash before it (/title). A value "
     "that is exactly <remove> is written as <<remove>>. set --csv reads the table back."},
}};

const std::array<Option, 3> checkOptionTable{{
    {"json", nullptr,
     "Prints one JSON object per file: \"path\" and \"findings\", a list of objects with "
     "\"kind\" and \"detail\" (empty for a file without findings)."},
    {"csv", nullptr,
     "Writes one table, as show --csv writes its table, with the columns \"path\", \"kind\" "
     "and \"detail\" and a row per finding."},
    {"ignore", "KIND",
     "Leaves out the findings of the kind KIND (one of the kinds below); may be given more than "
     "once."},
}};

const std::array<Option, 2> undoOptionTable{{
    {"dry-run", nullptr, "Says what would be put back; changes nothing."},
    {"json", nullptr,
     "Prints one JSON object per file on standard output: \"path\", \"outcome\" "
     "(\"changed\", \"failed\" or, with --dry-run, \"planned\") and \"reason\"."},
}};

const std::array<Option, 3> renameOptionTable{{
    {"to", "TEMPLATE",
     "The new name, without .pdf, with the placeholders of set --template: --to \"{Author} - "
     "{Title}\" renames a file by Smith titled Annual Report to Smith - Annual Report.pdf."},
    {"dry-run", nullptr, "Prints each file's new name; renames nothing."},
    {"json", nullptr,
     "Prints one JSON object per file on standard output: \"path\", \"destination\" (the new "
     "name), \"outcome\" (\"changed\", \"unchanged\" for a file that has its name already, "
     "\"failed\" or, with --dry-run, \"planned\") and \"reason\"."},
}};

// Each form of the command, for --help and the manual page alike: *bold* for what is typed as it
// stands, _italic_ for what stands for a value of the user's.
const std::array<const char*, 10> synopsisLines{{
    "*metascribe* [_FILE-OR-FOLDER_...]",
    "*metascribe set* [_OPTION_...] (*--out* _DIR_ | *--in-place*) _FILE-OR-FOLDER_...",
    "*metascribe set* [_OPTION_...] (*--out* _DIR_ | *--in-place*) *--csv* _TABLE_",
    "*metascribe strip* [_OPTION_...] (*--out* _DIR_ | *--in-place*) _FILE-OR-FOLDER_...",
    "*metascribe show* [*--json*] _FILE_...",
    "*metascribe show --csv* _FILE-OR-FOLDER_...",
    "*metascribe check* [*--json* | *--csv*] [*--ignore* _KIND_]... _FILE-OR-FOLDER_...",
    "*metascribe rename* *--to* _TEMPLATE_ [*--dry-run*] [*--json*] _FILE-OR-FOLDER_...",
    "*metascribe undo* [*--dry-run*] [*--json*]",
    "*metascribe* *--help* | *--version*",
}};

const char* const summary = "changes the document information of many PDF files at once";

const char* const description =
    "Metascribe sets the title, subject, author, keywords, creator, producer, creation date and "
    "modification date of many PDF files in one run, and any other key of their document "
    "information, their copyright notice, their language and whether viewers show their title. "
    "It also checks files before they are published, changing nothing. Every result is read back "
    "by a reader "
    "independent of the PDF toolkit that made it and compared with its original before it "
    "replaces anything, in one rename; a file that fails keeps its original and is reported "
    "with the reason. XMP metadata is kept in step and password protection is kept.";

const char* const windowText =
    "Without a command, the window opens, with the given files and the PDF files of the given "
    "folders in its list.";

const char* const setText =
    "set changes the given files and the files of the given folders. One of --out and "
    "--in-place is required, and at least one change. An empty TEXT empties the field. "
    "Progress goes to standard error, updated in place on a terminal and not shown otherwise; "
    "each file that was not changed is named there with the reason.";

const char* const stripText =
    "strip makes the given files, and the files of the given folders, fit to be sent out: it "
    "removes the document information, the XMP metadata (also that of pages, images, fonts and "
    "attached files), the private data applications keep in a file (/PieceInfo), TeX's figure "
    "data, the authors and dates of comments, attached files' dates, the creators of layers, "
    "the metadata segments of JPEG images (EXIF with a GPS position, XMP, IPTC, comments; their "
    "pictures stay byte for byte), page thumbnails and every earlier revision, strips attached "
    "PDF files the same way and gives an unprotected file a new document ID, by writing each "
    "file anew; no PDF toolkit is needed. What the pages show and the password protection "
    "stay. A file that claims PDF/A conformance keeps an XMP packet with its PDF/A "
    "identification (and an e-invoice's properties) and the kept fields. A digitally signed "
    "file is refused. A result replaces nothing unless it keeps every page and none of that "
    "metadata is left in it. A removed value that the document itself still holds (in a page's "
    "text, a comment, a field, a bookmark, an attached file) stays, and is named on standard "
    "error (\"left in it: the author's name is still in the text of page 3\"), as are JavaScript, "
    "hidden form fields' values, a base address of links, layer names and ICC profiles' "
    "descriptions; with --json, as \"kept\", beside \"removed\", what went by kind with counts. "
    "--out, --in-place, --ext, --password-stdin and --json work as for set; --dry-run lists what "
    "each file would lose (in JSON, as \"removals\") and what it would keep, and names the files "
    "the run would turn down, with its reason.";

const char* const showText =
    "show prints each file's eight fields, then the other keys of its document information "
    "(values that are not text, such as names and numbers, as PDF writes them), the XMP "
    "metadata's values where they differ from them, the document's language (Lang) and whether "
    "viewers show its title (DisplayDocTitle), and its copyright notice and address where it has "
    "them.";

const char* const checkText =
    "check reads the given files and the PDF files of the given folders, as set walks them, with "
    "its own reader and without changing or creating any file, and lists what each holds that "
    "its readers trip over once it is published: one line per finding on standard output "
    "(PATH: KIND: DETAIL), and on standard error how many files were checked, how many had "
    "findings and how many of each kind.";

// The kinds check finds, each with an example of its detail, for --help and the manual page.
const std::array<std::pair<const char*, const char*>, 10> checkKinds{{
    {"no-title", "There is no title, or only spaces. Example: the document has no title"},
    {"junk-title",
     "The title was made by a program: an office program's name and \" - \" before it, a file "
     "extension at its end (.doc, .docx, .odt, .indd, .qxd, .pptx, .xlsx, .tex, .dvi, .ps, .pdf, "
     "...) or a placeholder (Untitled-3, Document1, Presentation1, PowerPoint Presentation, "
     "Slide 1, Title, ...), in any case. Example: \"Microsoft Word - draft3.docx\""},
    {"xmp-differs",
     "A field's value in the document information and in the XMP metadata differ, so viewers "
     "disagree. Example: Title: \"Annual report\" in the document information, \"Draft\" in the "
     "XMP metadata"},
    {"bad-date", "A date does not read as a date. Example: CreationDate: \"yesterday\""},
    {"future-date", "A date is after now. Example: ModDate: \"D:20991231120000Z\""},
    {"modified-before-created",
     "The modification date is before the creation date. Example: ModDate \"D:20190101\" is "
     "before CreationDate \"D:20200101\""},
    {"no-language",
     "The document has no language (/Lang), so screen readers guess; set --lang sets it. "
     "Example: the document catalog has no /Lang"},
    {"title-not-shown",
     "Viewers show the file's name in the title bar instead of the title; set --display-title "
     "sets it. Example: the viewer preferences do not set DisplayDocTitle"},
    {"old-values-kept",
     "An earlier revision (an incremental update) still holds another value of a field, "
     "readable to anyone who looks; strip removes earlier revisions. Example: Author: "
     "\"J. Smith\" in an earlier revision, now \"Legal\""},
    {"unreadable",
     "The file cannot be read; the detail is the reason, as set gives it. Example: it is "
     "password-protected and the password was not given or is wrong"},
}};

const char* const renameText =
    "rename renames each of the given files, and the PDF files of the given folders, in its own "
    "folder, to the text its fields give the template of --to, with .pdf. In that text a slash, "
    "NUL and control characters become _, spaces and dots at either end go, and it is cut to "
    "255 bytes at a character's end. A file that lacks a field the template needs (or has only "
    "blanks in it), or whose "
    "name would be empty, keeps its name and is named on standard error with the reason; so "
    "is one that cannot be read. A file that has its name already stays as it is. A name that "
    "exists already, or that an earlier file of the run gets, is numbered: NAME (2).pdf, NAME "
    "(3).pdf, ...; no file is ever replaced. Only names change, and undo takes the run back.";

const char* const undoText =
    "undo takes back the last run of set --trash (or the window's run with \"Keep replaced "
    "originals in the Trash\"), of rename, or the last undo. A renamed file gets its old name "
    "back unless another file has it now. Of a run of set: each file that still holds that run's "
    "result "
    "gets its original back from the Trash in one rename, and the result goes to the Trash in "
    "turn, so that the undo can be undone. A file changed since, or whose original is no longer "
    "in the Trash, is left as it is and reported. Runs are journaled under "
    "$XDG_STATE_HOME/metascribe.";

QString dateText(const QLocale& locale = QLocale::system()) {
    return QStringLiteral("A DATE is written like ") + PdfDate::acceptedForms(locale) +
           QStringLiteral("; a date without a time is midnight, in the local zone.");
}

const std::array<std::pair<const char*, const char*>, 3> exitTexts{{
    {"0",
     "Every file was changed (with --dry-run: would be changed; show: was read; check: nothing "
     "was found)."},
    {"1", "At least one file was not (or none was found; check: something was found), or standard "
          "output could not be written."},
    {"2", "The command line was wrong; nothing was changed."},
}};

QString optionSpelling(const Option& option) {
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (option.value)
        text += QLatin1Char(' ') + QLatin1String(option.value);
    return text;
}

// Words filled into lines of at most width characters, each starting with indent spaces.
QString wrapped(const QString& text, int indent, int width = 79) {
    QStringList lines;
    QString line;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > width) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    lines << line;
    const QString pad(indent, QLatin1Char(' '));
    return pad + lines.join(QLatin1Char('\n') + pad) + QLatin1Char('\n');
}

QString helpOption(const QString& spelling, const QString& help) {
    constexpr int column = 26;
    QString text = wrapped(help, column);
    if (spelling.size() + 2 < column)
        return QStringLiteral("  ") + spelling.leftJustified(column - 2) + text.mid(column);
    return QStringLiteral("  ") + spelling + QLatin1Char('\n') + text;
}

// Text for roff: backslashes and hyphens escaped, and no line may start with a dot or quote.
QString roff(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
    escaped.replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (escaped.startsWith(QLatin1Char('.')) || escaped.startsWith(QLatin1Char('\'')))
        escaped.prepend(QStringLiteral("\\&"));
    return escaped;
}

// The synopsis as --help prints it, the marks dropped.
QString plainSynopsis() {
    QString text;
    for (const char* line : synopsisLines)
        text += (text.isEmpty() ? QStringLiteral("Usage: ") : QStringLiteral("       ")) +
                QString::fromLatin1(line).remove(QLatin1Char('*')).remove(QLatin1Char('_')) +
                QLatin1Char('\n');
    return text;
}

// The synopsis for roff, one line each, in bold and italic.
QString roffSynopsis() {
    static const QRegularExpression bold(QStringLiteral("\\*([^*]*)\\*"));
    static const QRegularExpression italic(QStringLiteral("_([^_]*)_"));
    QStringList lines;
    for (const char* line : synopsisLines)
        lines << roff(QLatin1String(line))
                     .replace(bold, QStringLiteral("\\fB\\1\\fR"))
                     .replace(italic, QStringLiteral("\\fI\\1\\fR"));
    return lines.join(QStringLiteral("\n.br\n")) + QLatin1Char('\n');
}

QString roffOption(const Option& option) {
    QString text = QStringLiteral(".TP\n\\fB\\-\\-") + roff(QLatin1String(option.name)) +
                   QStringLiteral("\\fR");
    if (option.value)
        text += QStringLiteral(" \\fI") + QLatin1String(option.value) + QStringLiteral("\\fR");
    return text + QLatin1Char('\n') + roff(QLatin1String(option.help)) + QLatin1Char('\n');
}

// A table of options as --help lists it, and as the manual page does.
QString helpOptions(std::span<const Option> options) {
    QString text;
    for (const Option& option : options)
        text += helpOption(optionSpelling(option), QLatin1String(option.help));
    return text;
}

QString roffOptions(std::span<const Option> options) {
    QString text;
    for (const Option& option : options)
        text += roffOption(option);
    return text;
}

} // namespace

std::span<const Option> CommandDescription::fieldOptions() {
    return fieldOptionTable;
}

std::span<const Option> CommandDescription::setOptions() {
    return setOptionTable;
}

std::span<const Option> CommandDescription::runOptions() {
    return runOptionTable;
}

std::span<const Option> CommandDescription::stripOptions() {
    return stripOptionTable;
}

std::span<const Option> CommandDescription::showOptions() {
    return showOptionTable;
}

std::span<const Option> CommandDescription::checkOptions() {
    return checkOptionTable;
}

std::span<const Option> CommandDescription::undoOptions() {
    return undoOptionTable;
}

std::span<const Option> CommandDescription::renameOptions() {
    return renameOptionTable;
}

QList<Option> CommandDescription::joined(std::initializer_list<std::span<const Option>> groups) {
    QList<Option> options;
    for (const std::span<const Option> group : groups)
        options.append(QList<Option>(group.begin(), group.end()));
    return options;
}

QString CommandDescription::helpText() {
    QString text = plainSynopsis() + QLatin1Char('\n');
    text += wrapped(QLatin1String(description), 0);
    text += QLatin1Char('\n') + wrapped(QLatin1String(windowText), 0);
    text += QLatin1Char('\n') + wrapped(QLatin1String(setText), 0);
    text += QStringLiteral("\nFields of set:\n");
    text += helpOptions(fieldOptionTable);
    text += wrapped(dateText(), 2);
    text += QStringLiteral("\nOther options of set:\n");
    text += helpOptions(setOptionTable);
    text += helpOptions(runOptionTable);
    text += QLatin1Char('\n') + wrapped(QLatin1String(stripText), 0);
    text += QStringLiteral("\nOptions of strip:\n");
    text += helpOptions(stripOptionTable);
    text += QLatin1Char('\n') + wrapped(QLatin1String(showText), 0);
    text += QStringLiteral("\nOptions of show:\n");
    text += helpOptions(showOptionTable);
    text += QLatin1Char('\n') + wrapped(QLatin1String(checkText), 0);
    text += QStringLiteral("\nOptions of check:\n");
    text += helpOptions(checkOptionTable);
    text += QStringLiteral("\nKinds of findings:\n");
    for (const auto& [kind, meaning] : checkKinds)
        text += helpOption(QLatin1String(kind), QLatin1String(meaning));
    text += QLatin1Char('\n') + wrapped(QLatin1String(renameText), 0);
    text += QStringLiteral("\nOptions of rename:\n");
    text += helpOptions(renameOptionTable);
    text += QLatin1Char('\n') + wrapped(QLatin1String(undoText), 0);
    text += QStringLiteral("\nOptions of undo:\n");
    text += helpOptions(undoOptionTable);
    text += QStringLiteral("\nExit status:\n");
    for (const auto& [code, meaning] : exitTexts)
        text += helpOption(QLatin1String(code), QLatin1String(meaning));
    return text;
}

QString CommandDescription::manualPage() {
    QString page = QStringLiteral(".TH METASCRIBE 1 \"\" \"Metascribe ") +
                   QStringLiteral(METASCRIBE_VERSION) +
                   QStringLiteral("\" \"User Commands\"\n"
                                  ".SH NAME\n"
                                  "metascribe \\- ") +
                   roff(QLatin1String(summary)) + QStringLiteral("\n.SH SYNOPSIS\n") +
                   roffSynopsis() + QStringLiteral(".SH DESCRIPTION\n");
    page +=
        roff(QLatin1String(description)) + QStringLiteral("\n.PP\n") +
        roff(QLatin1String(windowText)) + QStringLiteral("\n.PP\n") + roff(QLatin1String(setText)) +
        QStringLiteral("\n.PP\n") + roff(QLatin1String(stripText)) + QStringLiteral("\n.PP\n") +
        roff(QLatin1String(showText)) + QStringLiteral("\n.PP\n") + roff(QLatin1String(checkText)) +
        QStringLiteral("\n.PP\n") + roff(QLatin1String(renameText)) + QStringLiteral("\n.PP\n") +
        roff(QLatin1String(undoText)) + QLatin1Char('\n');
    page += QStringLiteral(".SH FIELDS OF SET\n");
    page += roffOptions(fieldOptionTable);
    // The same page for every build: dates as they are written where no language is set.
    page += QStringLiteral(".PP\n") + roff(dateText(QLocale::c())) +
            roff(QStringLiteral(" The long date is also understood as the language setting "
                                "writes it.")) +
            QLatin1Char('\n');
    page += QStringLiteral(".SH OTHER OPTIONS OF SET\n");
    page += roffOptions(setOptionTable);
    page += roffOptions(runOptionTable);
    page += QStringLiteral(".SH OPTIONS OF STRIP\n");
    page += roffOptions(stripOptionTable);
    page += QStringLiteral(".SH OPTIONS OF SHOW\n");
    page += roffOptions(showOptionTable);
    page += QStringLiteral(".SH OPTIONS OF CHECK\n");
    page += roffOptions(checkOptionTable);
    page += QStringLiteral(".SH KINDS OF FINDINGS\n");
    for (const auto& [kind, meaning] : checkKinds)
        page += QStringLiteral(".TP\n\\fB") + roff(QLatin1String(kind)) + QStringLiteral("\\fR\n") +
                roff(QLatin1String(meaning)) + QLatin1Char('\n');
    page += QStringLiteral(".SH OPTIONS OF RENAME\n");
    page += roffOptions(renameOptionTable);
    page += QStringLiteral(".SH OPTIONS OF UNDO\n");
    page += roffOptions(undoOptionTable);
    page += QStringLiteral(".SH EXIT STATUS\n");
    for (const auto& [code, meaning] : exitTexts)
        page += QStringLiteral(".TP\n") + QLatin1String(code) + QLatin1Char('\n') +
                roff(QLatin1String(meaning)) + QLatin1Char('\n');
    page += QStringLiteral(".SH EXAMPLES\n"
                           ".EX\n"
                           "metascribe set \\-\\-author \"Legal Department\" \\-\\-in\\-place "
                           "contracts/\n"
                           "metascribe set \\-\\-title\\-from\\-filename \\-\\-out done/ "
                           "\\-\\-dry\\-run scans/\n"
                           "metascribe strip \\-\\-keep title \\-\\-out outgoing/ "
                           "contracts/\n"
                           "metascribe show \\-\\-json report.pdf\n"
                           "metascribe show \\-\\-csv contracts/ > values.csv\n"
                           "metascribe set \\-\\-in\\-place \\-\\-csv values.csv\n"
                           "metascribe check \\-\\-ignore old\\-values\\-kept outgoing/\n"
                           "metascribe set \\-\\-template \"subject={folder}\" "
                           "\\-\\-only\\-empty \\-\\-in\\-place scans/\n"
                           "metascribe set \\-\\-from\\-folder originals/ \\-\\-in\\-place "
                           "converted/\n"
                           "metascribe rename \\-\\-to \"{Author} \\- {Title}\" \\-\\-dry\\-run "
                           "reports/\n"
                           ".EE\n");
    return page;
}
