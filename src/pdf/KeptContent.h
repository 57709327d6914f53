#pragma once

#include <QStringList>

class QPDF;

// What a stripped file still holds that may tell who made it or for whom, though it is content
// and so stays: scripts, values of form fields no reader sees, the base address of its links,
// the names of its layers and the descriptions of its colour profiles. A person has to look at
// them; nothing here changes the document.
//
// Only the structures that hold them are looked at (the catalog, its name trees, the form's
// field tree, the pages with their annotations and resources, the output intents), never what a
// page draws, so that it is cheap on any file. A damaged or hostile file gives what can be found
// in its readable parts.
class KeptContent {
public:
    // One phrase per kind of thing found, in a fixed order, each readable on its own ("the names
    // of 3 layers: \"Draft\", \"Internal\", \"Notes\""); empty when there is none. Never throws.
    static QStringList in(QPDF& pdf);
};
