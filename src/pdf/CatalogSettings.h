#pragma once

#include "EditPlan.h"

#include <vector>

class QPDFObjectHandle;

// What a plan sets in the document catalog beside the document information, which the toolkit
// cannot reach: the document's language (/Lang), which screen readers read it in, and the viewer
// preference that has viewers show the title rather than the file's name in their title bar
// (DisplayDocTitle).
class CatalogSettings {
public:
    // Whether the plan sets either.
    static bool needed(const EditPlan& plan);

    // Makes catalog say what the plan says, keeping every other viewer preference (and creating
    // them where there are none). Gives the objects that changed: the catalog, and the viewer
    // preferences where they are an object of their own; none when they said so already.
    static std::vector<QPDFObjectHandle> apply(QPDFObjectHandle catalog, const EditPlan& plan);
};
