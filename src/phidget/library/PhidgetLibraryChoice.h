#pragma once

// Which Phidget backend the program uses: the virtual boards when asked for, else the vendor's
// current library if it loads, else the older one, else none.

#include "phidget/library/LibraryBackend.h"

#include <QStringList>

#include <memory>

namespace glimrow {

struct PhidgetLibraryFiles {
    QString phidget22 = QStringLiteral("libphidget22.so.0");
    QString phidget21 = QStringLiteral("libphidget21.so.0");
};

struct PhidgetLibraryChoice {
    std::unique_ptr<PhidgetLibraryBackend> backend; // null: no library, no boards
    QString description;                            // the Devices frame's line
    QStringList problems;                           // libraries found but not usable
};

PhidgetLibraryChoice choosePhidgetLibrary(const PhidgetLibraryFiles& files = {});

inline const QString kVirtualBoardsLine = QStringLiteral("virtual boards");
inline const QString kNoPhidgetLibraryLine =
    QStringLiteral("no Phidget library found: install libphidget22 from the vendor");

} // namespace glimrow
