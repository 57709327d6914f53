#include "ResultCheck.h"

#include "Failure.h"

#include <QSet>
#include <algorithm>

namespace {

using InfoValue = PdfSnapshot::InfoValue;

QString shown(const InfoValue& value) {
    constexpr qsizetype longest = 80;
    QString text = value.text;
    if (text.size() > longest)
        text = text.left(longest - 1) + QChar(0x2026);
    return value.isString ? QLatin1Char('"') + text + QLatin1Char('"') : text;
}

QString mismatch(const QString& key, const std::optional<InfoValue>& actual,
                 const InfoValue& expected) {
    if (!actual)
        return QStringLiteral("the result has no %1 instead of %2").arg(key, shown(expected));
    return QStringLiteral("the result's %1 is %2 instead of %3")
        .arg(key, shown(*actual), shown(expected));
}

std::optional<InfoValue> entry(const PdfSnapshot& snapshot, const QString& key) {
    const auto found = snapshot.info().constFind(key);
    if (found == snapshot.info().constEnd())
        return std::nullopt;
    return *found;
}

// The toolkit leaves its results unencrypted, and an encrypted result may need no password to
// open, which a wrong one given would spoil; so the password is given only when it is needed.
PdfSnapshot readResult(const QString& path, const std::optional<QString>& password,
                       const std::function<void(QPDF&)>& alsoRead,
                       const PdfSnapshot::TextRule& viewerText) {
    if (password) {
        try {
            return PdfSnapshot::read(path, std::nullopt, PdfSnapshot::Sharing::Ignore, alsoRead,
                                     viewerText);
        } catch (const Failure&) {
        }
    }
    return PdfSnapshot::read(path, password, PdfSnapshot::Sharing::Ignore, alsoRead, viewerText);
}

bool lostContent(const PdfSnapshot::PageShape& before, const PdfSnapshot::PageShape& after) {
    if (after.contentStreams < before.contentStreams || after.annotations < before.annotations)
        return true;
    for (auto category = before.resources.cbegin(); category != before.resources.cend();
         ++category) {
        const QStringList names = after.resources.value(category.key());
        for (const QString& name : *category) {
            if (!names.contains(name))
                return true;
        }
    }
    return false;
}

QString pageCountReason(const QString& what, int before, int after) {
    return QStringLiteral("the result %1: %2 before, %3 after").arg(what).arg(before).arg(after);
}

// The result has fewer pages than the original has, or than its page tree lists or counts. Where
// the original itself has fewer pages that can be read than that, the fault is the original's,
// and the reason says so.
QString fewerThan(const char* how, int before, int readable, int after) {
    if (before > readable)
        return QStringLiteral(
                   "its page tree is damaged: it %1 %2, of which %3 can be read as pages")
            .arg(QLatin1String(how))
            .arg(before)
            .arg(readable);
    return pageCountReason(QStringLiteral("lost pages"), before, after);
}

QString pagesDiffer(const PdfSnapshot& original, const PdfSnapshot& result,
                    const QStringList& removed) {
    const int readable = original.pages() - original.brokenPages();
    if (result.pages() < original.pages())
        return fewerThan("has", original.pages(), readable, result.pages());
    // A page our reader cannot read is one the toolkit drops, while a viewer may still show it;
    // the page tree as written and its count tell what a viewer would have found.
    if (result.pageLeaves() < original.pageLeaves())
        return fewerThan("lists", original.pageLeaves(), readable, result.pageLeaves());
    if (result.claimedPages() < original.claimedPages())
        return fewerThan("counts", original.claimedPages(), readable, result.claimedPages());
    if (result.pages() != original.pages())
        return pageCountReason(QStringLiteral("has a different number of pages"), original.pages(),
                               result.pages());
    for (int page = 0; page < original.pages(); ++page) {
        const PdfSnapshot::PageShape& before = original.pageShapes().at(page);
        const PdfSnapshot::PageShape& after = result.pageShapes().at(page);
        if (before == after)
            continue;
        return (lostContent(before, after) ? QStringLiteral("the result lost content on page %1")
                                           : QStringLiteral("the result changed page %1"))
            .arg(page + 1);
    }
    for (const QString& key : original.catalogEntries()) {
        if (!result.catalogEntries().contains(key) && !removed.contains(key))
            return QStringLiteral("the result lost the document's %1").arg(key);
    }
    return {};
}

// "3 pages", "1 page".
QString counted(int count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

QString wouldLose(const QString& what) {
    return QStringLiteral("repairing it would lose %1 that other readers show").arg(what);
}

QString lostBookmarks(int before, int after) {
    if (after <= 0)
        return wouldLose(QStringLiteral("its ") + counted(before, "bookmark", "bookmarks"));
    return wouldLose(QStringLiteral("%1 of its ").arg(before - after) +
                     counted(before, "bookmark", "bookmarks"));
}

// What our reader's repair of a damaged original may miss and a viewer still shows: the pages
// either reader finds (and every page object a damaged file holds), and the bookmarks, page
// labels and text of each page as the reader that finds them sees them in the original. A
// result the viewer cannot open shows none of them.
QString viewersShowMore(const PdfSnapshot& original, const PdfSnapshot& result,
                        const QStringList& removed) {
    const std::optional<ViewerReading>& originalView = original.viewerReading();
    const ViewerReading none;
    const ViewerReading& after = result.viewerReading() ? *result.viewerReading() : none;
    const int shown = std::max(
        {original.pages(), original.pageObjects(), originalView ? originalView->pages() : 0});
    const int kept = originalView ? std::min(result.pages(), after.pages()) : result.pages();
    if (kept < shown)
        return wouldLose(counted(shown - kept, "page", "pages"));
    if (!removed.contains(QStringLiteral("Outlines"))) {
        if (result.outlineEntries() < original.outlineEntries())
            return lostBookmarks(original.outlineEntries(), result.outlineEntries());
        if (originalView && after.outlineEntries() < originalView->outlineEntries())
            return lostBookmarks(originalView->outlineEntries(), after.outlineEntries());
    }
    if (!removed.contains(QStringLiteral("PageLabels")) &&
        ((original.pageLabels() && !result.pageLabels()) ||
         (originalView && originalView->pageLabels() && !after.pageLabels())))
        return wouldLose(QStringLiteral("its page labels"));
    if (!originalView)
        return {};
    const QList<int> before = originalView->textOnPages();
    const QList<int> textKept = after.textOnPages();
    for (qsizetype page = 0; page < before.size(); ++page) {
        if (textKept.value(page) < before.at(page))
            return wouldLose(QStringLiteral("text on page %1").arg(page + 1));
    }
    return {};
}

QString infoDiffers(const PdfSnapshot& original, const PdfSnapshot& result, const EditPlan& plan,
                    const QString& titleFromName) {
    const QMap<QString, std::optional<QString>> edits = plan.infoEdits(titleFromName);
    for (auto added = result.info().cbegin(); added != result.info().cend(); ++added) {
        if (!edits.contains(added.key()) && !original.info().contains(added.key()))
            return QStringLiteral("the result has a %1 the original did not have").arg(added.key());
    }
    for (auto edit = edits.cbegin(); edit != edits.cend(); ++edit) {
        const QString& key = edit.key();
        const std::optional<InfoValue> actual = entry(result, key);
        if (!edit.value()) {
            if (actual)
                return QStringLiteral("the result still has the %1 %2").arg(key, shown(*actual));
            continue;
        }
        // Trapped is a name, written so when the result is finished.
        const InfoValue planned = key == EditPlan::trappedKey()
                                      ? InfoValue{QLatin1Char('/') + *edit.value(), false}
                                      : InfoValue{*edit.value(), true};
        if (planned.text.isEmpty() && (!actual || *actual == planned))
            continue;
        if (actual != planned)
            return mismatch(key, actual, planned);
        const std::optional<InfoField> field = EditPlan::fieldOf(key);
        if (field && EditPlan::isDate(*field) && !planned.text.isEmpty() &&
            result.unicodeInfo().contains(key))
            return QStringLiteral("the result's %1 is stored as Unicode text, which not every "
                                  "reader takes for a date")
                .arg(key);
    }
    // A copy with document information of its own carries only the entries that are document
    // information; the rest belonged to whatever object the original shared.
    const QMap<QString, InfoValue> carried =
        original.needsOwnInfo() ? original.documentInformation() : original.info();
    for (auto kept = carried.cbegin(); kept != carried.cend(); ++kept) {
        if (edits.contains(kept.key()))
            continue;
        const std::optional<InfoValue> actual = entry(result, kept.key());
        if (!actual)
            return QStringLiteral("the result lost the %1").arg(kept.key());
        if (*actual != *kept)
            return mismatch(kept.key(), actual, *kept);
    }
    return {};
}

QString shownLanguage(const std::optional<QString>& language) {
    return language ? QLatin1Char('"') + *language + QLatin1Char('"') : QStringLiteral("none");
}

// The catalog's settings: as the plan sets them, else as the original has them.
QString catalogDiffers(const PdfSnapshot& original, const PdfSnapshot& result,
                       const EditPlan& plan) {
    std::optional<QString> language = original.language();
    if (plan.language())
        language = plan.language()->isEmpty() ? std::nullopt : plan.language();
    if (result.language() != language)
        return QStringLiteral("the result's language (/Lang) is %1 instead of %2")
            .arg(shownLanguage(result.language()), shownLanguage(language));
    const std::optional<bool> shown = plan.displaysTitle() ? true : original.displaysTitle();
    if (result.displaysTitle() != shown)
        return shown == true
                   ? QStringLiteral("the result's viewer preferences do not show the title")
                   : QStringLiteral("the result's viewer preferences changed whether the title "
                                    "is shown");
    return {};
}

} // namespace

QString ResultCheck::verify(const PdfSnapshot& original, const QString& resultPath,
                            const EditPlan& plan, const QString& titleFromName,
                            const std::optional<QString>& password,
                            std::optional<QByteArray>* packet) {
    PdfSnapshot result;
    std::function<void(QPDF&)> readPacket;
    if (packet)
        readPacket = [packet](QPDF& pdf) {
            *packet = XmpPacket::of(pdf);
        };
    // A language the plan removes takes the catalog's entry with it.
    const QStringList removed = plan.language() && plan.language()->isEmpty()
                                    ? QStringList{QStringLiteral("Lang")}
                                    : QStringList();
    QString reason = keepsDocument(original, resultPath, password, removed, result, readPacket);
    if (reason.isEmpty())
        reason = infoDiffers(original, result, plan, titleFromName);
    if (reason.isEmpty())
        reason = catalogDiffers(original, result, plan);
    return reason;
}

QString ResultCheck::keepsDocument(const PdfSnapshot& original, const QString& resultPath,
                                   const std::optional<QString>& password,
                                   const QStringList& removed, PdfSnapshot& result,
                                   const std::function<void(QPDF&)>& alsoRead, bool pageText) {
    // The viewer reads the result, where it read the original, as it read the original: with the
    // text where it counted the original's.
    PdfSnapshot::TextRule viewerText;
    if (original.viewerReading() || pageText) {
        const bool text = pageText || !original.viewerReading()->pageTexts().isEmpty();
        viewerText = [text](const PdfSnapshot&, const ViewerReading&) {
            return text;
        };
    }
    try {
        result = readResult(resultPath, password, alsoRead, viewerText);
    } catch (const Failure& failure) {
        // The reader words its reasons about "it"; here "it" is the result.
        return QStringLiteral("the result") + failure.description().mid(2);
    }
    // Lost pages or content say more than the warnings reading them out of the wreck gives.
    QString reason = pagesDiffer(original, result, removed);
    if (reason.isEmpty())
        reason = viewersShowMore(original, result, removed);
    if (reason.isEmpty() && result.encryption() != original.encryption())
        reason = !result.encrypted() ? QStringLiteral("the result lost its password protection")
                                     : QStringLiteral("the result is not protected the way the "
                                                      "original is");
    if (reason.isEmpty() && result.hadWarnings() && !original.hadWarnings())
        reason = QStringLiteral("the result is damaged: ") + result.firstWarning();
    return reason;
}

QString ResultCheck::verifyXmp(const QString& resultPath, const QList<XmpPacket::Change>& changes,
                               const std::optional<QString>& password,
                               const XmpPacket::Rights& rights) {
    std::optional<QByteArray> packet;
    try {
        packet = XmpPacket::readFromPdf(resultPath, password);
    } catch (const Failure& failure) {
        return QStringLiteral("the result") + failure.description().mid(2);
    }
    return verifyPacket(packet, changes, rights);
}

QString ResultCheck::verifyPacket(const std::optional<QByteArray>& packet,
                                  const QList<XmpPacket::Change>& changes,
                                  const XmpPacket::Rights& rights) {
    if (!packet) {
        if (rights.addsAnything())
            return QStringLiteral("the result has no XMP metadata for its copyright");
        return {};
    }
    const QMap<QString, QString> values = XmpPacket::read(*packet);
    const QStringList subjects = XmpPacket::subjects(*packet);
    QList<std::pair<QString, QString>> expected;
    for (const XmpPacket::Change& change : changes)
        expected.append({EditPlan::toolkitKey(change.field), change.text});
    if (rights.copyright) {
        expected.append({XmpPacket::copyrightKey(), *rights.copyright});
        expected.append({XmpPacket::markedKey(),
                         rights.copyright->isEmpty() ? QString() : QStringLiteral("True")});
    }
    if (rights.url)
        expected.append({XmpPacket::copyrightUrlKey(), *rights.url});
    if (rights.language)
        expected.append({XmpPacket::languageKey(), *rights.language});
    for (const auto& [key, text] : expected) {
        const auto found = values.constFind(key);
        if (text.isEmpty() && found != values.constEnd())
            return QStringLiteral("the result's XMP metadata still holds the %1 \"%2\"")
                .arg(key, *found);
        if (!text.isEmpty() && (found == values.constEnd() || *found != text))
            return QStringLiteral("the result's XMP metadata has the %1 \"%2\" instead of \"%3\"")
                .arg(key, values.value(key), text);
    }
    for (const XmpPacket::Change& change : changes) {
        // The list, where there is one, must not show other keywords than the text.
        if (change.field == InfoField::Keywords && !subjects.isEmpty() &&
            subjects != XmpPacket::keywordItems(change.text))
            return QStringLiteral("the result's XMP metadata lists the keywords \"%1\" instead "
                                  "of \"%2\"")
                .arg(subjects.join(QStringLiteral("; ")),
                     XmpPacket::keywordItems(change.text).join(QStringLiteral("; ")));
    }
    return {};
}
