#include "Form1.h"

#include "HoverPointer.h"
#include "PathHelpers.h"
#include "WindowConventions.h"
#include "WindowPointer.h"

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    resize(560, 520);
    HoverPointer::install(this, HoverPointer::Rule::Reset);
}

void Form1::Form_Load() {
    WindowPointer::loadCustom(this, PathHelpers::ProgramFolder() + QStringLiteral("/HAND-M.CUR"));
    WindowConventions::applyCaptionAndIcon(this);
    WindowConventions::applyTitle();
}
